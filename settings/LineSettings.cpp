#include "settings/LineSettings.h"

#include <algorithm>

namespace {

template <auto Group, auto Member> auto& At(LineSettings& s) {
    return s.*Group.*Member;
}

constexpr auto Feed = &LineSettings::callMonitor;
constexpr auto Ami = &LineSettings::ami;

const LineSettingsKey Keys[] = {
    {"callmonitor", "host", &At<Feed, &CallMonitorSettings::host>},
    {"callmonitor", "port", &At<Feed, &CallMonitorSettings::port>, 1, 65535},
    {"ami", "host", &At<Ami, &AmiSettings::host>},
    {"ami", "port", &At<Ami, &AmiSettings::port>, 1, 65535},
    {"ami", "user", &At<Ami, &AmiSettings::user>},
    {"ami", "secret", &At<Ami, &AmiSettings::secret>, 0, 0, true},
    {"ami", "context", &At<Ami, &AmiSettings::context>},
};

constexpr std::pair<LineSource, std::string_view> Names[] = {
    {LineSource::Capi, "capi"},
    {LineSource::Sim, "sim"},
    {LineSource::CallMonitor, "callmonitor"},
    {LineSource::Ami, "ami"},
};

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool SameWithoutCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

template <class... Visitors> struct Overloaded : Visitors... { using Visitors::operator()...; };
template <class... Visitors> Overloaded(Visitors...) -> Overloaded<Visitors...>;

} // namespace

std::string_view LineSourceName(LineSource source) {
    for (const auto& [kind, name] : Names)
        if (kind == source)
            return name;
    return "capi";
}

std::optional<std::vector<LineSource>> ParseLineSources(std::string_view text, std::string& error) {
    std::vector<LineSource> sources;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos)
            comma = text.size();
        const std::string_view name = Trimmed(text.substr(start, comma - start));
        start = comma + 1;
        const auto* found = std::find_if(std::begin(Names), std::end(Names),
                                         [&](const auto& entry) { return SameWithoutCase(entry.second, name); });
        if (found == std::end(Names)) {
            error = name.empty() ? "an empty name in the list of line sources"
                                 : "no line source is called \"" + std::string(name.substr(0, 40)) +
                                       "\" (capi, callmonitor, ami, sim)";
            return std::nullopt;
        }
        if (std::find(sources.begin(), sources.end(), found->first) != sources.end()) {
            error = "the line source " + std::string(found->second) + " is named twice";
            return std::nullopt;
        }
        sources.push_back(found->first);
    }
    const auto has = [&](LineSource source) {
        return std::find(sources.begin(), sources.end(), source) != sources.end();
    };
    if (has(LineSource::Capi) && has(LineSource::Sim)) {
        error = "capi and sim are both the CAPI line: name one of them";
        return std::nullopt;
    }
    return sources;
}

std::string LineSourcesText(const std::vector<LineSource>& sources) {
    std::string text;
    for (LineSource source : sources) {
        if (!text.empty())
            text += ",";
        text += LineSourceName(source);
    }
    return text;
}

std::span<const LineSettingsKey> LineSettingsKeys() {
    return Keys;
}

LineSettings ReadLineSettings(const TavoConf& conf) {
    LineSettings settings;
    LineSettings defaults;
    if (const std::optional<std::string> text = conf.Get("line", "sources")) {
        std::string error;
        if (std::optional<std::vector<LineSource>> sources = ParseLineSources(*text, error))
            settings.sources = std::move(*sources);
        else
            conf.Report("[line] sources: " + error + "; listening through CAPI");
    }
    for (const LineSettingsKey& key : Keys) {
        std::visit(Overloaded{
                       [&](LineSettingsField<int> field) {
                           field(settings) = conf.GetInt(key.section, key.name, field(defaults),
                                                         key.low, key.high);
                       },
                       [&](LineSettingsField<std::string> field) {
                           field(settings) = conf.GetString(key.section, key.name, field(defaults));
                       },
                   },
                   key.field);
    }
    return settings;
}

void WriteLineSettings(TavoConf& conf, const LineSettings& given) {
    LineSettings settings = given; // the fields hand out references to a settings object
    conf.Set("line", "sources", LineSourcesText(settings.sources));
    for (const LineSettingsKey& key : Keys) {
        const std::string text = std::visit(
            Overloaded{
                [&](LineSettingsField<int> field) { return std::to_string(field(settings)); },
                [&](LineSettingsField<std::string> field) { return field(settings); },
            },
            key.field);
        conf.Set(key.section, key.name, text);
    }
}
