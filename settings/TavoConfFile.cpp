// tavo.conf on the disk: where it lives, reading it without being held up by what is not a
// file, and replacing it without a moment in which others may read a password.
#include "settings/OutputSettingsKeys.h"
#include "platform/Text.h"
#include "settings/TavoConf.h"

#include "platform/FileBytes.h"
#include "platform/XdgDirectories.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

bool MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

constexpr mode_t ReadableByOthers = S_IRGRP | S_IROTH;

} // namespace

std::string TavoConfPath() {
    const std::string directory = TavoConfigDirectory();
    return (directory.empty() ? std::string("./TAVO") : directory) + "/tavo.conf";
}

TavoConfLoad LoadTavoConf(const std::string& path) {
    TavoConfLoad load;
    // Without O_NONBLOCK, opening a FIFO would wait for a writer that never comes.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) {
        if (errno == ENOENT)
            return load;
        load.ok = false;
        load.error = path + ": " + ErrorText(errno);
        return load;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        load.ok = false;
        load.error = path + ": " + ErrorText(errno);
        return load;
    }
    if (!S_ISREG(info.st_mode)) {
        load.ok = false;
        load.error = path + " is " + KindOf(info.st_mode) +
                     "; TAVO reads its settings only from a regular file";
        return load;
    }
    if (static_cast<unsigned long long>(info.st_size) > MaxTavoConfBytes) {
        load.ok = false;
        load.error = path + " holds " + std::to_string(info.st_size) +
                     " bytes; TAVO reads a settings file of at most " +
                     std::to_string(MaxTavoConfBytes) + " bytes";
        return load;
    }
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const size_t n = ReadSome(file, bytes.data() + got, bytes.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    load.conf = TavoConf::Parse(bytes);
    if ((info.st_mode & ReadableByOthers) != 0 && HoldsSecret(load.conf))
        load.warning = path + " holds a password and other users can read it. Make it " +
                       "private with: chmod 600 " + path;
    return load;
}

bool SaveTavoConf(const TavoConf& conf, const std::string& path, std::string& error) {
    const std::string directory = DirectoryOf(path);
    if (!MakeDirectories(directory)) {
        error = directory + ": " + ErrorText(errno);
        return false;
    }
    // The replacement takes the kept file's mode: make that private first, so the new text is
    // never readable by others, not even for a moment.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077) != 0)
        (void)::chmod(path.c_str(), info.st_mode & 0700);
    if (!ReplaceFileAtomically(path, conf.Text(), 0600, &error))
        return false;
    // A kept file of another owner could not be changed beforehand: the new one is ours.
    if (::stat(path.c_str(), &info) == 0 && (info.st_mode & 077) != 0)
        (void)::chmod(path.c_str(), 0600);
    return true;
}
