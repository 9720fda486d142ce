#include "capi/CapiSharedLock.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>

bool ReleaseStuckCapiLock(const std::string& name, std::chrono::milliseconds patience) {
    sem_t* lock = ::sem_open(name.c_str(), 0);
    if (lock == SEM_FAILED)
        return false;
    timespec deadline{};
    ::clock_gettime(CLOCK_REALTIME, &deadline);
    const long long nanos = deadline.tv_nsec + patience.count() % 1000 * 1'000'000LL;
    deadline.tv_sec += static_cast<time_t>(patience.count() / 1000 + nanos / 1'000'000'000);
    deadline.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
    int taken;
    do
        taken = ::sem_timedwait(lock, &deadline);
    while (taken != 0 && errno == EINTR);
    // Taken: it was free, and is given back. Timed out: its holder is gone (the library holds
    // it for microseconds), and this post is the one that holder never made.
    const bool stuck = taken != 0 && errno == ETIMEDOUT;
    if (taken == 0 || stuck)
        ::sem_post(lock);
    ::sem_close(lock);
    return stuck;
}
