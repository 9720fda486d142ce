#include "platform/FileBytes.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ErrnoText(const std::string& path, int error) {
    return path + ": " + std::strerror(error);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// The file a save really replaces: the target of a symbolic link, else the path itself.
std::string ResolvedTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char buffer[PATH_MAX];
        if (::realpath(path.c_str(), buffer) != nullptr)
            return buffer;
    }
    return path;
}

std::atomic<unsigned>& TemporaryCounter() {
    static std::atomic<unsigned> counter{0};
    return counter;
}

} // namespace

FileReadResult ReadFileBytes(const std::string& path, MissingFile missing) {
    FileReadResult result;
    int flags = O_RDONLY | O_CLOEXEC;
    if (missing == MissingFile::Create)
        flags |= O_CREAT;
    int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        result.error = ErrnoText(path, errno);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        result.error = ErrnoText(path, S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return result;
    }
    result.opened = true;
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        result.bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && result.bytes.empty() && errno == EISDIR) {
            result.opened = false;
            result.error = ErrnoText(path, errno);
        }
        // A read error ends the data like the end of the file does.
        if (n <= 0)
            break;
        result.bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return result;
}

namespace {

// The name of the temporary file of a save: "<target>.tmp<pid>-<counter>".
std::string TemporaryName(const std::string& target, unsigned counter) {
    return target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter);
}

// The process id in a temporary file's name, or 0 when `name` is not one.
pid_t TemporaryOwner(const std::string& name) {
    const size_t tmp = name.rfind(".tmp");
    if (tmp == std::string::npos || tmp == 0)
        return 0;
    const size_t dash = name.find('-', tmp);
    if (dash == std::string::npos || dash == tmp + 4 || dash + 1 == name.size())
        return 0;
    for (size_t i = tmp + 4; i < name.size(); ++i)
        if (i != dash && !std::isdigit(static_cast<unsigned char>(name[i])))
            return 0;
    const long pid = std::strtol(name.c_str() + tmp + 4, nullptr, 10);
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

} // namespace

size_t RemoveStaleTemporaryFiles(const std::string& directory) {
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return 0;
    size_t removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const pid_t owner = TemporaryOwner(name);
        if (owner == 0 || owner == ::getpid())
            continue;
        // A save of a process that still runs is left alone.
        if (::kill(owner, 0) == 0 || errno != ESRCH)
            continue;
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool AppendWhole(const std::string& path, std::string_view bytes, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = ErrnoText(path, errno);
        return false;
    }
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    ssize_t written;
    do
        written = ::write(fd, bytes.data(), bytes.size());
    while (written < 0 && errno == EINTR);
    const bool ok = written == static_cast<ssize_t>(bytes.size());
    if (!ok) {
        // A short write is what a full disk gives: take the part back, so the next line does
        // not continue this one.
        error = ErrnoText(path, written < 0 ? errno : ENOSPC);
        if (written > 0 && sized && ::ftruncate(fd, before.st_size) != 0)
            error += " (and the part written could not be removed)";
    }
    ::close(fd);
    return ok;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, unsigned newFileMode,
                           std::string* error) {
    auto fail = [&](int code) {
        if (error != nullptr)
            *error = ErrnoText(path, code);
        return false;
    };
    const std::string target = ResolvedTarget(path);
    const std::string directory = DirectoryOf(target);
    // Created with O_EXCL under a fresh name; the kernel applies the umask, which is not
    // touched here because changing it would race with other threads creating files.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryName(target, TemporaryCounter()++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    static_cast<mode_t>(newFileMode));
        if (fd < 0 && errno != EEXIST)
            return fail(errno);
    }
    if (fd < 0)
        return fail(EEXIST);

    // A replaced file keeps its permissions.
    struct stat old {};
    const bool keepMode = ::stat(target.c_str(), &old) == 0;

    bool ok = (!keepMode || ::fchmod(fd, old.st_mode & 07777) == 0) && WriteAll(fd, bytes) &&
              ::fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return fail(code);
    }
    // Make the rename itself survive a crash.
    int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
