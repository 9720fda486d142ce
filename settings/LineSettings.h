#pragma once
// Where calls come from, as tavo.conf chooses:
//   [line]        sources=capi            one or more of capi, callmonitor, ami, sim
//   [callmonitor] host= port=1012         the router's call-monitor feed
//   [ami]         host=127.0.0.1 port=5038 user= secret= context=from-external
// The keys stand in one table (LineSettingsKeys), as the outputs' keys do; the AMI secret is a
// secret like the broker's password: the file holding it must be private.

#include "settings/TavoConf.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// capi and sim are the two lines behind the CAPI seam; one monitor listens on at most one.
enum class LineSource { Capi, Sim, CallMonitor, Ami };

struct CallMonitorSettings {
    std::string host; // empty: the feed cannot be opened
    int port = 1012;
    bool operator==(const CallMonitorSettings&) const = default;
};

struct AmiSettings {
    std::string host = "127.0.0.1";
    int port = 5038;
    std::string user;
    std::string secret;
    std::string context = "from-external"; // empty: calls of every context
    bool operator==(const AmiSettings&) const = default;
};

struct LineSettings {
    std::vector<LineSource> sources{LineSource::Capi};
    CallMonitorSettings callMonitor;
    AmiSettings ami;
    bool operator==(const LineSettings&) const = default;
};

// "capi", "sim", "callmonitor", "ami".
std::string_view LineSourceName(LineSource source);
// A comma-separated list of source names (blanks around them allowed, each at most once, capi
// and sim not together); nullopt with `error` set otherwise.
std::optional<std::vector<LineSource>> ParseLineSources(std::string_view text, std::string& error);
std::string LineSourcesText(const std::vector<LineSource>& sources);

template <typename T> using LineSettingsField = T& (*)(LineSettings&);

struct LineSettingsKey {
    std::string_view section;
    std::string_view name;
    std::variant<LineSettingsField<int>, LineSettingsField<std::string>> field;
    int low = 0; // a whole number's range
    int high = 0;
    bool secret = false;
};

// The keys beside [line] sources, in the order new keys are written to the file.
std::span<const LineSettingsKey> LineSettingsKeys();

// Bad values are reported in conf.Problems() and replaced by their defaults.
LineSettings ReadLineSettings(const TavoConf& conf);
void WriteLineSettings(TavoConf& conf, const LineSettings& settings);
