#pragma once
// The queue in front of each output: the caller never waits. When it is full the oldest entry
// goes, and the number dropped is kept for the log. The consumer either waits on it or, when it
// also waits on sockets, polls WakeFd(), which is readable while entries are waiting.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

template <typename T> class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : capacity(capacity == 0 ? 1 : capacity) {
        wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    ~BoundedQueue() {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }
    BoundedQueue(const BoundedQueue&) = delete;
    BoundedQueue& operator=(const BoundedQueue&) = delete;

    // Never blocks. False when the oldest entry had to go to make room.
    bool Push(T item) {
        bool dropped = false;
        {
            std::lock_guard lock(mutex);
            if (closed)
                return true;
            if (items.size() >= capacity) {
                items.pop_front();
                ++droppedCount;
                dropped = true;
            }
            items.push_back(std::move(item));
        }
        changed.notify_one();
        const uint64_t one = 1;
        if (wakeFd >= 0)
            (void)!::write(wakeFd, &one, sizeof one);
        return !dropped;
    }

    // Everything waiting, oldest first, after waiting at most `limit` for something.
    std::deque<T> TakeAll(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, limit, [&] { return !items.empty() || closed; });
        return TakeLocked();
    }
    // Everything waiting, without waiting; clears the wake descriptor.
    std::deque<T> TakeAll() {
        uint64_t count;
        if (wakeFd >= 0)
            (void)!::read(wakeFd, &count, sizeof count);
        std::lock_guard lock(mutex);
        return TakeLocked();
    }

    // Wakes every waiter and refuses new entries.
    void Close() {
        {
            std::lock_guard lock(mutex);
            closed = true;
        }
        changed.notify_all();
        const uint64_t one = 1;
        if (wakeFd >= 0)
            (void)!::write(wakeFd, &one, sizeof one);
    }
    bool Closed() const {
        std::lock_guard lock(mutex);
        return closed;
    }
    // Entries dropped since the last call.
    size_t TakeDroppedCount() {
        std::lock_guard lock(mutex);
        const size_t n = droppedCount;
        droppedCount = 0;
        return n;
    }
    int WakeFd() const { return wakeFd; }
    size_t Capacity() const { return capacity; }

private:
    std::deque<T> TakeLocked() {
        std::deque<T> taken;
        taken.swap(items);
        return taken;
    }

    const size_t capacity;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<T> items;
    size_t droppedCount = 0;
    bool closed = false;
    int wakeFd = -1;
};
