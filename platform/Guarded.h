#pragma once
// A value shared between threads that can only be reached with its lock held: Read() hands out
// a const view, Write() a mutable one, each holding the lock until it goes out of scope. There
// is no other way to the value, so touching it without the lock does not compile.
//
//     { auto lists = core.lists.Read(); rows = BuildRows(lists->callList); } // lock released
//
// A view must not be held across a call that takes the same lock again: the lock is not
// recursive. Such a call aborts with a message instead of hanging. (Clang's thread-safety
// analysis cannot follow a lock handed out by a function's return before clang 17, so the views
// carry no annotations; the value itself is GUARDED_BY the store's mutex.)

#include "platform/ThreadSafety.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

template <typename T> class Guarded {
public:
    template <typename... Args>
    explicit Guarded(Args&&... args) : value(std::forward<Args>(args)...) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    class [[nodiscard]] ReadView {
    public:
        explicit ReadView(const Guarded& store) : store(store), value(store.LockedValue()) {}
        ~ReadView() { store.Unlock(); }
        ReadView(const ReadView&) = delete;
        ReadView& operator=(const ReadView&) = delete;
        const T& operator*() const { return *value; }
        const T* operator->() const { return value; }

    private:
        const Guarded& store;
        const T* value;
    };

    class [[nodiscard]] WriteView {
    public:
        explicit WriteView(Guarded& store) : store(store), value(store.LockedValue()) {}
        ~WriteView() { store.Unlock(); }
        WriteView(const WriteView&) = delete;
        WriteView& operator=(const WriteView&) = delete;
        T& operator*() const { return *value; }
        T* operator->() const { return value; }

    private:
        const Guarded& store;
        T* value;
    };

    // Views returned by value (guaranteed copy elision): the lock moves with them.
    ReadView Read() const { return ReadView(*this); }
    WriteView Write() { return WriteView(*this); }

    // A copy of the whole value, taken under the lock.
    T Copy() const { return *Read(); }

private:
    T* LockedValue() const NO_THREAD_SAFETY_ANALYSIS {
        if (owner.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
            // Waiting here would wait for ever: say where instead.
            std::fputs("tavo: a lock was taken twice on one thread (a view held across a call "
                        "that takes it again)\n",
                        stderr);
            std::abort();
        }
        mutex.lock();
        owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
        return const_cast<T*>(&value);
    }
    void Unlock() const NO_THREAD_SAFETY_ANALYSIS {
        owner.store(std::thread::id(), std::memory_order_relaxed);
        mutex.unlock();
    }

    mutable Mutex mutex;
    // Which thread holds the lock; only compared with the calling thread's own id, which no
    // other thread can store.
    mutable std::atomic<std::thread::id> owner{};
    T value GUARDED_BY(mutex);
};
