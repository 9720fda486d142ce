#pragma once
// Clang's thread-safety attributes (checked by the clang build with -Wthread-safety; other
// compilers ignore them) and a mutex they can name.

#include <mutex>

#if defined(__clang__)
#define TAVO_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define TAVO_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) TAVO_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY TAVO_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) TAVO_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) TAVO_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) TAVO_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) TAVO_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TAVO_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define EXCLUDES(...) TAVO_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define RETURN_CAPABILITY(x) TAVO_THREAD_ATTRIBUTE(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS TAVO_THREAD_ATTRIBUTE(no_thread_safety_analysis)

// std::mutex as a capability the analysis knows.
class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { mutex.lock(); }
    void unlock() RELEASE() { mutex.unlock(); }

private:
    std::mutex mutex;
};

// std::lock_guard for Mutex.
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex(mutex) { mutex.lock(); }
    ~MutexLock() RELEASE() { mutex.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex;
};
