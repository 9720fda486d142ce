#pragma once
// Starting TAVO with the desktop session through an XDG autostart entry.

#include <string>

// $XDG_CONFIG_HOME/autostart/tavo.desktop (default ~/.config/autostart/tavo.desktop).
std::string AutostartEntryPath();

// The entry's text for the given executable.
std::string AutostartEntryText(const std::string& executable);

// Writes (on) or removes (off) the entry. Returns an empty string on success, else the reason.
std::string SetAutostart(bool on, const std::string& executable);
