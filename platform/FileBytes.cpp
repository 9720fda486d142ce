#include "platform/FileBytes.h"

#include "platform/Text.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ErrnoText(const std::string& path, int error) {
    return path + ": " + ErrorText(error);
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

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

FileHandle::~FileHandle() {
    if (fd >= 0)
        ::close(fd);
}

FileHandle OpenForReading(const std::string& path, MissingFile missing, std::string& error) {
    int flags = O_RDONLY | O_CLOEXEC;
    if (missing == MissingFile::Create)
        flags |= O_CREAT;
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        error = ErrnoText(path, errno);
        return {};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = ErrnoText(path, S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return {};
    }
    return FileHandle(fd);
}

size_t ReadSome(const FileHandle& file, char* data, size_t size) {
    for (;;) {
        const ssize_t n = ::read(file.get(), data, size);
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0 ? static_cast<size_t>(n) : 0;
    }
}

FileReadResult ReadFileBytes(const std::string& path, MissingFile missing, FileHandle* keep) {
    FileReadResult result;
    FileHandle file = OpenForReading(path, missing, result.error);
    if (!file)
        return result;
    result.opened = true;
    struct stat st {};
    if (::fstat(file.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        // Straight into the result: going through a chunk would cost as much again as the read.
        const auto expected = static_cast<size_t>(st.st_size);
        result.bytes.resize(expected);
        size_t got = 0;
        while (got < expected) {
            const size_t n = ReadSome(file, result.bytes.data() + got, expected - got);
            if (n == 0)
                break;
            got += n;
        }
        result.bytes.resize(got);
        if (got < expected) // cut short while being read, or a read error: the data ends here
            return result;
    }
    // A read error ends the data like the end of the file does.
    char chunk[1 << 16];
    while (const size_t n = ReadSome(file, chunk, sizeof chunk))
        result.bytes.append(chunk, n);
    if (keep != nullptr)
        *keep = std::move(file);
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
    // readdir is unsafe only for one directory stream read from two threads; this one is ours.
    while (const dirent* entry = ::readdir(dir)) { // NOLINT(concurrency-mt-unsafe)
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

bool WriteDurablyAt(const FileHandle& file, uint64_t offset, std::string_view bytes, int& error,
                    bool& undone) {
    error = 0;
    undone = true;
    auto at = static_cast<off_t>(offset);
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const ssize_t n = ::pwrite(file.get(), rest.data(), rest.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        rest.remove_prefix(static_cast<size_t>(n));
        at += n;
    }
    if (error == 0 && ::fdatasync(file.get()) != 0) {
        error = errno;
        // The kernel may have dropped the pages it failed to write: nothing says what is left.
        undone = false;
    }
    if (error == 0)
        return true;
    if (::ftruncate(file.get(), static_cast<off_t>(offset)) != 0)
        undone = false;
    return false;
}

AtomicFileReplacement::AtomicFileReplacement(const std::string& path, unsigned newFileMode)
    : path(path) {
    target = ResolvedTarget(path);
    // Created with O_EXCL under a fresh name; the kernel applies the umask, which is not
    // touched here because changing it would race with other threads creating files.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryName(target, TemporaryCounter()++);
        // Readable too: a committed file may be kept open to be copied from by the next save.
        fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                    static_cast<mode_t>(newFileMode));
        if (fd < 0 && errno != EEXIST) {
            code = errno;
            return;
        }
    }
    if (fd < 0) {
        code = EEXIST;
        return;
    }
    // A replaced file keeps its permissions.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0)
        Fail(errno);
}

AtomicFileReplacement::~AtomicFileReplacement() {
    if (fd >= 0)
        Fail(ECANCELED);
}

void AtomicFileReplacement::Fail(int error) {
    if (code == 0)
        code = error;
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
        ::unlink(temporary.c_str());
    }
}

bool AtomicFileReplacement::Write(std::string_view bytes) {
    if (fd < 0)
        return false;
    if (!WriteAll(fd, bytes))
        Fail(errno);
    return fd >= 0;
}

bool AtomicFileReplacement::Copy(const FileHandle& from, size_t size) {
    if (fd < 0)
        return false;
    loff_t offset = 0;
    while (static_cast<size_t>(offset) < size) {
        ssize_t n = ::copy_file_range(from.get(), &offset, fd, nullptr,
                                      size - static_cast<size_t>(offset), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Where the kernel cannot copy between these files (or copies nothing): through a
            // buffer. Only a read that finds the end means the source is short.
            char buffer[1 << 16];
            const size_t want = std::min(sizeof buffer, size - static_cast<size_t>(offset));
            n = ::pread(from.get(), buffer, want, offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0 && !WriteAll(fd, std::string_view(buffer, static_cast<size_t>(n))))
                n = -1;
            else if (n > 0)
                offset += n;
        }
        if (n <= 0) {
            Fail(n == 0 ? EIO : errno); // the source holds fewer bytes than it should
            return false;
        }
    }
    return true;
}

bool AtomicFileReplacement::Commit(std::string* error, FileHandle* written) {
    if (fd >= 0) {
        if (::fsync(fd) != 0)
            Fail(errno);
    }
    if (fd >= 0) {
        FileHandle kept(written != nullptr ? ::dup(fd) : -1);
        const int closed = ::close(fd);
        fd = -1;
        const int closeError = errno;
        if (closed != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
            code = closed != 0 ? closeError : errno;
            ::unlink(temporary.c_str());
        } else {
            // Make the rename itself survive a crash.
            const int dirFd =
                ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dirFd >= 0) {
                ::fsync(dirFd);
                ::close(dirFd);
            }
            if (written != nullptr)
                *written = std::move(kept);
            return true;
        }
    }
    if (error != nullptr)
        *error = ErrnoText(path, code);
    return false;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, unsigned newFileMode,
                           std::string* error) {
    AtomicFileReplacement file(path, newFileMode);
    file.Write(bytes);
    return file.Commit(error);
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    std::string full = std::filesystem::absolute(path, error).string();
    return error ? path : full;
}
