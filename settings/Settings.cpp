#include "settings/Settings.h"

#include "platform/FileBytes.h"
#include "platform/XdgDirectories.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

template <size_t N> void SetText(char (&field)[N], const char* text) {
    std::strncpy(field, text, N - 1);
    field[N - 1] = '\0';
}

// A damaged value may lack the zero in a text buffer; every reader expects one.
template <size_t N> void Terminate(char (&field)[N]) {
    if (std::memchr(field, '\0', N) == nullptr)
        field[N - 1] = '\0';
}

std::string ConfigDirectory() {
    const std::string directory = TavoConfigDirectory();
    return directory.empty() ? std::string("./TAVO") : directory;
}

// Stored files that were not understood and could not be kept aside: never replaced.
std::mutex& ProtectedMutex() {
    static std::mutex mutex;
    return mutex;
}
std::set<std::string>& ProtectedFiles() {
    static std::set<std::string> files;
    return files;
}

bool MakeDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

} // namespace

void SetDefaultSettings(Settings& s) {
    std::memset(&s, 0, sizeof s);
    s.colWidthDateTime = 100;
    s.colWidthTo = 80;
    s.colWidthWho = 190;
    s.colWidthCount = 50;
    s.windowRect[0] = 100;
    s.windowRect[1] = 100;
    s.windowRect[2] = 550;
    s.windowRect[3] = 350;
    s.hideWhenMinimized = 1;
    s.startMinimized = 0;
    s.systemBeep = 1;
    s.displaySeconds = 5;
    s.popupScaledByCount = 1;
    s.fontSize = 240;
    SetText(s.fontName, "Arial");
    s.playSound = 1;
    s.speak = 1;
    SetText(s.speakTemplate, "Incoming call on %to% from %from%");
    SetText(s.unknownSpeakText, "unknown");
    s.onlyNamedMsns = 0;
    s.ttsSpeed = 0;
    s.ttsPitch = 0;
    s.ttsVolume = 50;
    s.telnetEnabled = 0;
    s.telnetPort = 6100;
}

void ApplyStoredSettings(Settings& settings, const std::string& stored) {
    SetDefaultSettings(settings);
    if (stored.size() > sizeof(Settings))
        return;
    // A shorter value replaces only the leading part; the rest keeps its defaults.
    std::memcpy(&settings, stored.data(), stored.size());
    Terminate(settings.fontName);
    Terminate(settings.speakTemplate);
    Terminate(settings.unknownSpeakText);
    Terminate(settings.telnetUserId);
    Terminate(settings.telnetPassword);
}

std::string LoadSettingsFrom(Settings& settings, const std::string& path) {
    FileReadResult file = ReadFileBytes(path, MissingFile::Fail);
    ApplyStoredSettings(settings, file.opened ? file.bytes : std::string());
    if (!file.opened || file.bytes.size() <= sizeof(Settings))
        return {};
    // Not a record of ours: never let a save of the defaults replace it unseen.
    std::string note = "the settings file " + path + " holds " + std::to_string(file.bytes.size()) +
                       " bytes, not " + std::to_string(sizeof(Settings)) +
                       ": it was ignored and the defaults are used";
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string aside = path + ".ignored-" + stamp;
    struct stat st {};
    if (::lstat(aside.c_str(), &st) != 0 && ::rename(path.c_str(), aside.c_str()) == 0) {
        note += "; the file was kept as " + aside;
    } else {
        std::lock_guard lock(ProtectedMutex());
        ProtectedFiles().insert(path);
        note += "; it is left as it is, and settings are not saved over it";
    }
    return note;
}

bool SaveSettingsTo(const Settings& settings, const std::string& path) {
    {
        std::lock_guard lock(ProtectedMutex());
        if (ProtectedFiles().count(path) != 0)
            return false;
    }
    // The record holds the telnet password: a new file is readable by its owner only.
    return ReplaceFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(&settings), sizeof settings), 0600);
}

std::string SettingsFilePath() {
    return ConfigDirectory() + "/options";
}

std::string LoadSettings(Settings& settings) {
    RemoveStaleTemporaryFiles(ConfigDirectory());
    return LoadSettingsFrom(settings, SettingsFilePath());
}

bool SaveSettings(const Settings& settings) {
    if (!MakeDirectories(ConfigDirectory()))
        return false;
    return SaveSettingsTo(settings, SettingsFilePath());
}

