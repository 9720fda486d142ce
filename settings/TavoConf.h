#pragma once
// tavo.conf: the settings beyond the 396-byte record, in an INI file that people read and edit
// by hand on machines without windows. Saving keeps what the program does not know: comments,
// blank lines, unknown sections and keys stay where the user put them.
//
// Syntax: "[section]" lines, "key = value" lines, comments on lines of their own starting with
// ";" or "#", and comments after a value when a blank comes before the ";" or "#". A value in
// double quotes is taken as it is (\" and \\ inside); the program writes such values quoted.
// Sections and keys are compared without regard to ASCII case; a key given twice counts once,
// the last time.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TavoConf {
public:
    TavoConf() = default;
    // Lines that are neither a section, a key nor a comment are kept as they are and reported.
    static TavoConf Parse(std::string_view text);
    std::string Text() const;

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Changes the value where the key stands (keeping its comment), else adds the key at the end
    // of its section, else adds the section at the end of the file.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // Typed reads. A value that does not fit is reported in Problems() and the default returned.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view fallback) const;
    // true/false, yes/no, on/off, 1/0.
    bool GetBool(std::string_view section, std::string_view key, bool fallback) const;
    int GetInt(std::string_view section, std::string_view key, int fallback, int low,
               int high) const;
    // One of `choices` (compared without regard to case); its index.
    size_t GetChoice(std::string_view section, std::string_view key,
                     const std::vector<std::string_view>& choices, size_t fallback) const;

    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    // Every key line, in the order of the file.
    std::vector<Entry> Entries() const;

    // What the file held that the program could not use, one sentence each, naming the line
    // (never quoting a line the program could not read: it may be a mistyped password). Lines
    // that are not understood are named up to a few, then counted.
    const std::vector<std::string>& Problems() const { return problems; }
    void Report(std::string problem) const { problems.push_back(std::move(problem)); }

private:
    struct Line {
        std::string text;    // as read, or as rebuilt by Set
        std::string section; // the section this line belongs to (of a header: its own)
        std::string key;     // empty unless a key line
        std::string value;   // the value, unquoted
        std::string comment; // a key line's trailing blanks and comment, kept by Set
        bool header = false;
    };
    const Line* Find(std::string_view section, std::string_view key) const;
    std::string Where(const Line& line) const;

    std::vector<Line> lines;
    mutable std::vector<std::string> problems;
};

struct TavoConfLoad {
    TavoConf conf;
    bool ok = true; // false: the file exists and could not be read; `error` says why
    std::string error;
    // Loaded, but the user should hear of it at start-up (a password others can read).
    std::string warning;
};

// Larger than this, tavo.conf is refused: a hand-written file of settings is a few hundred bytes.
inline constexpr size_t MaxTavoConfBytes = size_t{64} * 1024;

// TavoConfigDirectory()/tavo.conf ("./TAVO/tavo.conf" without a home directory).
std::string TavoConfPath();
// A missing file is an empty configuration, not an error. Only a regular file is read (a FIFO
// or a device there is refused at once, never waited on), and one of at most MaxTavoConfBytes.
TavoConfLoad LoadTavoConf(const std::string& path);
// Creates the directory when missing; replaces the file atomically, created private (0600: it
// may hold a broker password) and a kept file made private before the new text is written.
// False with `error` set when it could not be written.
bool SaveTavoConf(const TavoConf& conf, const std::string& path, std::string& error);

// The settings of the outputs, with their defaults.
struct NcidSettings {
    bool enabled = false;
    std::string address = "127.0.0.1";
    int port = 3333;
    std::string allow = "127.0.0.1/32";
    int replay = 50;
    bool operator==(const NcidSettings&) const = default;
};

struct MqttSettings {
    bool enabled = false;
    std::string host = "localhost";
    int port = 1883;
    std::string caFile; // TLS when set
    std::string user;
    std::string password;
    std::string clientId;  // empty: made from the host name
    std::string baseTopic; // empty: tavo/<host name>
    bool discovery = true;
    bool operator==(const MqttSettings&) const = default;
};

enum class AnnounceWith { Popup, Notification, Both };

struct NotifySettings {
    AnnounceWith announceWith = AnnounceWith::Popup;
    bool operator==(const NotifySettings&) const = default;
};

struct CommandSettings {
    std::string program; // empty: no command
    std::string arguments;
    int timeoutSeconds = 10;
    bool operator==(const CommandSettings&) const = default;
};

struct OutputSettings {
    NcidSettings ncid;
    MqttSettings mqtt;
    NotifySettings notify;
    CommandSettings command;
    bool operator==(const OutputSettings&) const = default;
};

// Bad values are reported in conf.Problems() and replaced by their defaults. Both go by one
// table of keys (settings/OutputSettingsKeys.h).
OutputSettings ReadOutputSettings(const TavoConf& conf);
void WriteOutputSettings(TavoConf& conf, const OutputSettings& settings);
