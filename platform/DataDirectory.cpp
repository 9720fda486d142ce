#include "platform/DataDirectory.h"
#include "platform/Environment.h"
#include "platform/Text.h"

#include "platform/XdgDirectories.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {


std::mutex pathMutex;
std::string& RememberedPath() {
    static std::string path;
    return path;
}

} // namespace

DataDirectoryChoice ChooseDataDirectory(const std::optional<std::string>& option) {
    if (option) {
        if (option->empty())
            return {"", "the data directory given with --data-dir is empty"};
        return {*option, ""};
    }
    if (auto dir = EnvironmentValue("TAVO_DATA_DIR"))
        return {*dir, ""};
    if (std::string data = XdgDataHome(); !data.empty())
        return {(fs::path(data) / "TAVO").string(), ""};
    return {"", "no data directory: set HOME, XDG_DATA_HOME or TAVO_DATA_DIR, or give --data-dir"};
}

std::string EnterDataDirectory(const std::string& path) {
    if (path.empty())
        return "the data directory name is empty";
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec)
        return "cannot create the data directory " + path + ": " + ec.message();
    if (!fs::is_directory(path, ec))
        return "the data directory " + path + " is not a directory";
    // A directory that cannot be written still lets the monitor run and announce; the monitor
    // says that nothing is saved (DataDirectoryWritable).
    if (access(path.c_str(), R_OK | X_OK) != 0)
        return "cannot use the data directory " + path + ": " + ErrorText(errno);
    fs::path absolute = fs::absolute(path, ec);
    if (ec)
        absolute = path;
    if (chdir(absolute.c_str()) != 0)
        return "cannot change to the data directory " + path + ": " + ErrorText(errno);
    std::lock_guard lock(pathMutex);
    RememberedPath() = absolute.lexically_normal().string();
    return "";
}

std::string DataDirectoryPath() {
    std::lock_guard lock(pathMutex);
    return RememberedPath();
}

bool DataDirectoryWritable() {
    const std::string path = DataDirectoryPath();
    return access(path.empty() ? "." : path.c_str(), W_OK) == 0;
}

void ChangeToProgramDirectory() {
    std::string path = DataDirectoryPath();
    if (!path.empty() && chdir(path.c_str()) != 0) {
        // Ignored on purpose: the caller goes on with the current directory.
    }
}

DataDirectoryChoice MakeDemoDataDirectory() {
    fs::path base;
    if (auto runtime = EnvironmentValue("XDG_RUNTIME_DIR"); runtime && fs::is_directory(*runtime))
        base = *runtime;
    else {
        std::error_code ec;
        base = fs::temp_directory_path(ec);
        if (ec)
            base = "/tmp";
    }
    std::string pattern = (base / "TAVO-demo-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        return {"", "cannot make a demo data directory in " + base.string() + ": " +
                        ErrorText(errno)};
    return {std::string(buffer.data()), ""};
}
