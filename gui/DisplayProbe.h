#pragma once
// Whether the display the environment names can be reached, asked before Qt is started: Qt ends
// the program when the display it was told to use is not there (a desktop session that ended
// while a service kept its environment).

#include <optional>
#include <string>

struct DisplayEnvironment {
    std::string display;        // DISPLAY
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string runtimeDir;     // XDG_RUNTIME_DIR
    std::string platform;       // QT_QPA_PLATFORM
};

DisplayEnvironment CurrentDisplayEnvironment();

// An X server listening where `display` ("[host]:N[.S]") says.
bool XDisplayReachable(const std::string& display);
// A compositor listening on the Wayland socket (relative names are in `runtimeDir`).
bool WaylandDisplayReachable(const std::string& waylandDisplay, const std::string& runtimeDir);

// The Qt platform to start with: absent when no display can be reached (run headless); else the
// platform given by hand, the one of the two displays that answers, or empty for Qt's own choice
// when both answer.
std::optional<std::string> ChooseGuiPlatform(const DisplayEnvironment& environment);
