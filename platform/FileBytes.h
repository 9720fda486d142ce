#pragma once
// Whole-file reads and atomic whole-file replacement, shared by the list files and the settings.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class MissingFile { Create, Fail };

struct FileReadResult {
    bool opened = false; // false: nothing could be read; `error` says why
    std::string bytes;   // what was read before the end of the file or a read error
    std::string error;
};

// Reads a regular file whole. With MissingFile::Create a missing file is created empty first.
// A directory or an unreadable file does not open.
FileReadResult ReadFileBytes(const std::string& path, MissingFile missing);

// Writes `bytes` to a temporary file in the same directory, flushes it to the disk and renames it
// over `path`, so readers and a crash see either the old file or the new one, never a part.
// A symbolic link is followed and its target replaced. The old file's permissions are kept; a
// new file gets `newFileMode` less the umask. On failure the old file is untouched and the
// temporary file removed and `error` (when given) says why.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           unsigned newFileMode = 0666, std::string* error = nullptr);

// Removes the temporary files that saves interrupted by a crash left in `directory` (those of
// processes that no longer run). The number removed.
size_t RemoveStaleTemporaryFiles(const std::string& directory);

// Appends `bytes` to the file (created when missing) in one write: afterwards the file holds all
// of them or none (a short write, a full disk, is cut back). False with `error` set on failure.
bool AppendWhole(const std::string& path, std::string_view bytes, std::string& error);
