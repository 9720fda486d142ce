#include "platform/InstanceLock.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {

pid_t ReadHolder(int fd) {
    char text[32] = {};
    const ssize_t got = pread(fd, text, sizeof text - 1, 0);
    if (got <= 0)
        return 0;
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 ? pid_t(pid) : 0;
}

} // namespace

InstanceLock InstanceLock::Take(const std::string& directory) {
    InstanceLock lock;
    const std::string path = directory + "/" + FileName;
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    bool writable = fd >= 0;
    if (fd < 0 && (errno == EACCES || errno == EROFS)) {
        // A directory the monitor may only read: the file of an earlier start still locks it,
        // else the directory itself does.
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0 && errno == ENOENT)
            fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) {
        lock.failure = "cannot open " + path + ": " + ErrorText(errno);
        return lock;
    }
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        const int cause = errno;
        if (cause == EWOULDBLOCK) {
            lock.lockState = State::HeldByAnother;
            lock.holderPid = ReadHolder(fd);
        } else {
            lock.failure = "cannot lock " + path + ": " + ErrorText(cause);
        }
        close(fd);
        return lock;
    }
    lock.fd = fd;
    lock.lockState = State::Held;
    lock.holderPid = getpid();
    if (writable && ftruncate(fd, 0) == 0) {
        // Only for the message of a second start; the lock, not this number, decides.
        const std::string pid = std::to_string(getpid()) + "\n";
        [[maybe_unused]] const ssize_t written = pwrite(fd, pid.data(), pid.size(), 0);
    }
    return lock;
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : fd(std::exchange(other.fd, -1)), lockState(other.lockState),
      failure(std::move(other.failure)), holderPid(other.holderPid) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd >= 0)
            close(fd);
        fd = std::exchange(other.fd, -1);
        lockState = other.lockState;
        failure = std::move(other.failure);
        holderPid = other.holderPid;
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (fd >= 0)
        close(fd); // frees the lock
}
