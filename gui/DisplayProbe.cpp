#include "gui/DisplayProbe.h"
#include "platform/Environment.h"

#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::string Environment(const char* name) {
    return EnvironmentValue(name).value_or(std::string());
}

// `name` of length `length` (a leading NUL for the abstract namespace).
bool UnixSocketAnswers(const char* name, size_t length) {
    sockaddr_un address{};
    if (length == 0 || length > sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name, length);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address),
                                   socklen_t(offsetof(sockaddr_un, sun_path) + length)) == 0;
    close(fd);
    return connected;
}

bool TcpAnswers(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool connected = false;
    for (addrinfo* at = found; at != nullptr && !connected; at = at->ai_next) {
        const int fd = socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0)
            continue;
        connected = connect(fd, at->ai_addr, at->ai_addrlen) == 0;
        close(fd);
    }
    freeaddrinfo(found);
    return connected;
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

DisplayEnvironment CurrentDisplayEnvironment() {
    return {Environment("DISPLAY"), Environment("WAYLAND_DISPLAY"), Environment("XDG_RUNTIME_DIR"),
            Environment("QT_QPA_PLATFORM")};
}

bool XDisplayReachable(const std::string& display) {
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos || colon + 1 >= display.size())
        return false;
    const std::string host = display.substr(0, colon);
    char* end = nullptr;
    const long number = std::strtol(display.c_str() + colon + 1, &end, 10);
    if (end == display.c_str() + colon + 1 || number < 0 || number > 59535)
        return false;
    if (!host.empty() && host[0] == '/') // a socket path given whole
        return UnixSocketAnswers(host.c_str(), host.size());
    if (host.empty() || host == "unix") {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        const std::string abstract = '\0' + path;
        return UnixSocketAnswers(abstract.data(), abstract.size()) ||
               UnixSocketAnswers(path.c_str(), path.size());
    }
    return TcpAnswers(host, 6000 + int(number));
}

bool WaylandDisplayReachable(const std::string& waylandDisplay, const std::string& runtimeDir) {
    if (waylandDisplay.empty())
        return false;
    std::string path = waylandDisplay;
    if (path[0] != '/') {
        if (runtimeDir.empty())
            return false;
        path = runtimeDir + "/" + path;
    }
    return UnixSocketAnswers(path.c_str(), path.size());
}

std::optional<std::string> ChooseGuiPlatform(const DisplayEnvironment& environment) {
    const std::string& platform = environment.platform;
    const bool wantsX = StartsWith(platform, "xcb");
    const bool wantsWayland = StartsWith(platform, "wayland");
    // A platform chosen by hand that needs no display server (offscreen, vnc, ...) is taken.
    if (!platform.empty() && !wantsX && !wantsWayland)
        return platform;
    const bool x = !environment.display.empty() && XDisplayReachable(environment.display);
    const bool wayland =
        !wantsX && !environment.waylandDisplay.empty() &&
        WaylandDisplayReachable(environment.waylandDisplay, environment.runtimeDir);
    if ((wantsX && x) || (wantsWayland && wayland))
        return platform;
    if (wantsX || wantsWayland)
        return std::nullopt;
    // Neither named: Qt's own choice when both answer, else the one that does, so Qt never
    // tries one that is gone.
    if (x && wayland)
        return std::string();
    if (x || wayland)
        return std::string(x ? "xcb" : "wayland");
    return std::nullopt;
}
