#include "platform/XdgDirectories.h"
#include "platform/Environment.h"

#include <cstdlib>
#include <pwd.h>
#include <vector>
#include <unistd.h>

namespace {

std::string AbsoluteVariable(const char* name) {
    std::string value = EnvironmentValue(name).value_or(std::string());
    return value.starts_with('/') ? value : std::string();
}

std::string BaseDirectory(const char* variable, const char* underHome) {
    if (std::string set = AbsoluteVariable(variable); !set.empty())
        return set;
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + underHome;
}

} // namespace

std::string HomeDirectory() {
    if (std::string home = AbsoluteVariable("HOME"); !home.empty())
        return home;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && entry.pw_dir != nullptr && entry.pw_dir[0] == '/')
        return entry.pw_dir;
    return std::string();
}

std::string XdgConfigHome() {
    return BaseDirectory("XDG_CONFIG_HOME", "/.config");
}

std::string XdgDataHome() {
    return BaseDirectory("XDG_DATA_HOME", "/.local/share");
}

std::string XdgCacheHome() {
    return BaseDirectory("XDG_CACHE_HOME", "/.cache");
}

std::string TavoConfigDirectory() {
    const std::string config = XdgConfigHome();
    return config.empty() ? std::string() : config + "/TAVO";
}
