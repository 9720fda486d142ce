#pragma once
// Whole-file reads and atomic whole-file replacement, shared by the list files and the settings.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class MissingFile { Create, Fail };

// An open file descriptor, closed with its owner.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd(other.fd) { other.fd = -1; }
    FileHandle& operator=(FileHandle&& other) noexcept;
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }

private:
    int fd = -1;
};

struct FileReadResult {
    bool opened = false; // false: nothing could be read; `error` says why
    std::string bytes;   // what was read before the end of the file or a read error
    std::string error;
};

// Opens a file to be read a piece at a time; the same rules as ReadFileBytes. Not open, with
// `error` set, when it cannot be read.
FileHandle OpenForReading(const std::string& path, MissingFile missing, std::string& error);
// Reads up to `size` bytes at the file's position: 0 at its end and after a read error.
size_t ReadSome(const FileHandle& file, char* data, size_t size);

// Reads a regular file whole. With MissingFile::Create a missing file is created empty first.
// A directory or an unreadable file does not open. With `keep`, the file stays open there for
// reading it again later, whatever becomes of its name meanwhile.
FileReadResult ReadFileBytes(const std::string& path, MissingFile missing,
                             FileHandle* keep = nullptr);

// Writes `bytes` to a temporary file in the same directory, flushes it to the disk and renames it
// over `path`, so readers and a crash see either the old file or the new one, never a part.
// A symbolic link is followed and its target replaced. The old file's permissions are kept; a
// new file gets `newFileMode` less the umask. On failure the old file is untouched and the
// temporary file removed and `error` (when given) says why.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           unsigned newFileMode = 0666, std::string* error = nullptr);

// The same written in pieces, for files too large to be put together in memory first: Write
// as often as needed, then Commit. Anything that fails (or a replacement destroyed without a
// Commit) leaves the old file as it was and removes the temporary file; Commit says why.
class AtomicFileReplacement {
public:
    explicit AtomicFileReplacement(const std::string& path, unsigned newFileMode = 0666);
    ~AtomicFileReplacement();
    AtomicFileReplacement(const AtomicFileReplacement&) = delete;
    AtomicFileReplacement& operator=(const AtomicFileReplacement&) = delete;

    bool Write(std::string_view bytes); // false once anything has failed
    // Appends the first `size` bytes of the open file `from`; false when it holds fewer.
    bool Copy(const FileHandle& from, size_t size);
    // With `written`, the new file stays open there for reading.
    bool Commit(std::string* error = nullptr, FileHandle* written = nullptr);

private:
    void Fail(int error);

    std::string path, target, temporary;
    int fd = -1;
    int code = 0; // the first failure's errno
};

// Removes the temporary files that saves interrupted by a crash left in `directory` (those of
// processes that no longer run). The number removed.
size_t RemoveStaleTemporaryFiles(const std::string& directory);

// Appends `bytes` to the file (created when missing) in one write: afterwards the file holds all
// of them or none (a short write, a full disk, is cut back). False with `error` set on failure.
bool AppendWhole(const std::string& path, std::string_view bytes, std::string& error);

// Writes `bytes` at `offset` of the open file (its end, for an append) and flushes them to the
// disk. True when they are durable there. Otherwise `error` is the errno and the file is cut back
// to `offset`; `undone` says whether it surely holds nothing beyond it (false when the flush
// failed, after which what the disk holds is not known, or the cut failed).
bool WriteDurablyAt(const FileHandle& file, uint64_t offset, std::string_view bytes, int& error,
                    bool& undone);

// `path` from the root: for work on other threads while the current directory may change, and
// for messages that name a file wherever the user reads them. As it is when that fails.
std::string AbsolutePath(const std::string& path);
