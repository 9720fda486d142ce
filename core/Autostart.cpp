#include "core/Autostart.h"

#include "platform/XdgDirectories.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// Exec= arguments with anything but plain characters are quoted as the desktop entry rules ask.
std::string QuoteExec(const std::string& path) {
    bool plain = true;
    for (char c : path)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/._-+", c)))
            plain = false;
    if (plain)
        return path;
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += "\\\\";
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::string AutostartEntryPath() {
    return XdgConfigHome() + "/autostart/tavo.desktop";
}

std::string AutostartEntryText(const std::string& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=TAVO\n"
           "GenericName=ISDN Call Monitor\n"
           "Comment=Show, log and announce incoming ISDN calls\n"
           "Exec=" +
           QuoteExec(executable) +
           "\n"
           "Icon=tavo\n"
           "Terminal=false\n"
           "Categories=Network;Telephony;\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::string SetAutostart(bool on, const std::string& executable) {
    namespace fs = std::filesystem;
    const fs::path entry = AutostartEntryPath();
    std::error_code ec;
    if (!on) {
        if (!fs::remove(entry, ec) && ec)
            return "cannot remove " + entry.string() + ": " + ec.message();
        return {};
    }
    fs::create_directories(entry.parent_path(), ec);
    if (ec)
        return "cannot create " + entry.parent_path().string() + ": " + ec.message();
    // Written beside the entry and renamed, so a session starting meanwhile never reads half of it.
    const fs::path temp = entry.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << AutostartEntryText(executable);
        out.flush();
        if (!out) {
            fs::remove(temp, ec);
            return "cannot write " + temp.string();
        }
    }
    fs::rename(temp, entry, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return "cannot write " + entry.string() + ": " + ec.message();
    }
    return {};
}
