#pragma once
// One monitor per data directory: the first start holds an advisory lock (flock) on the file
// "tavo.lock" in it for as long as it runs. The kernel frees the lock when the process ends in
// any way, kill -9 included, so a crash never leaves the directory locked; the descriptor is
// closed on exec, so the line process and commands run for calls never carry it.

#include <string>
#include <sys/types.h>

class InstanceLock {
public:
    enum class State {
        Held,          // this process holds the lock
        HeldByAnother, // another process runs with this directory
        Failed,        // the lock could not be tried; `error` says why
    };

    // Tries the lock in `directory` without waiting.
    static InstanceLock Take(const std::string& directory);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    State state() const { return lockState; }
    // Why the lock could not be tried (Failed).
    const std::string& error() const { return failure; }
    // The process that holds it, as it wrote itself into the file; 0 when not known.
    pid_t holder() const { return holderPid; }
    // The descriptor that holds the lock; -1 unless Held. For tests.
    int descriptor() const { return fd; }

    // The lock file's name inside the data directory.
    static constexpr const char* FileName = "tavo.lock";

private:
    InstanceLock() = default;

    int fd = -1;
    State lockState = State::Failed;
    std::string failure;
    pid_t holderPid = 0;
};
