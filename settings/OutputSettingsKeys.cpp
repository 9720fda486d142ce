#include "settings/OutputSettingsKeys.h"

#include "settings/LineSettings.h"

#include <algorithm>

namespace {

template <auto Group, auto Member> auto& At(OutputSettings& s) {
    return s.*Group.*Member;
}

constexpr auto Ncid = &OutputSettings::ncid;
constexpr auto Mqtt = &OutputSettings::mqtt;
constexpr auto Notify = &OutputSettings::notify;
constexpr auto Command = &OutputSettings::command;

const OutputSettingsKey Keys[] = {
    {"ncid", "enabled", &At<Ncid, &NcidSettings::enabled>},
    {"ncid", "address", &At<Ncid, &NcidSettings::address>},
    {"ncid", "port", &At<Ncid, &NcidSettings::port>, 1, 65535},
    {"ncid", "allow", &At<Ncid, &NcidSettings::allow>},
    {"ncid", "replay", &At<Ncid, &NcidSettings::replay>, 0, 10000},

    {"mqtt", "enabled", &At<Mqtt, &MqttSettings::enabled>},
    {"mqtt", "host", &At<Mqtt, &MqttSettings::host>},
    {"mqtt", "port", &At<Mqtt, &MqttSettings::port>, 1, 65535},
    {"mqtt", "ca_file", &At<Mqtt, &MqttSettings::caFile>},
    {"mqtt", "user", &At<Mqtt, &MqttSettings::user>},
    {"mqtt", "password", &At<Mqtt, &MqttSettings::password>, 0, 0, true},
    {"mqtt", "client_id", &At<Mqtt, &MqttSettings::clientId>},
    {"mqtt", "base_topic", &At<Mqtt, &MqttSettings::baseTopic>},
    {"mqtt", "discovery", &At<Mqtt, &MqttSettings::discovery>},

    {"notify", "announce_with", &At<Notify, &NotifySettings::announceWith>},

    {"command", "program", &At<Command, &CommandSettings::program>},
    {"command", "arguments", &At<Command, &CommandSettings::arguments>},
    {"command", "timeout", &At<Command, &CommandSettings::timeoutSeconds>, 1, 24 * 3600},
};

constexpr std::string_view AnnounceNames[] = {"popup", "notification", "both"};

template <class... Visitors> struct Overloaded : Visitors... { using Visitors::operator()...; };
template <class... Visitors> Overloaded(Visitors...) -> Overloaded<Visitors...>;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NamedLikeASecret(std::string key) {
    std::transform(key.begin(), key.end(), key.begin(), Lower);
    for (std::string_view part : {"password", "passwd", "secret", "token"})
        if (key.find(part) != std::string::npos)
            return true;
    return false;
}

} // namespace

std::span<const OutputSettingsKey> OutputSettingsKeys() {
    return Keys;
}

std::span<const std::string_view> AnnounceWithNames() {
    return AnnounceNames;
}

OutputSettings ReadOutputSettings(const TavoConf& conf) {
    OutputSettings settings;
    OutputSettings defaults;
    const std::vector<std::string_view> choices(std::begin(AnnounceNames), std::end(AnnounceNames));
    for (const OutputSettingsKey& key : Keys) {
        std::visit(
            Overloaded{
                [&](OutputSettingsField<bool> field) {
                    field(settings) = conf.GetBool(key.section, key.name, field(defaults));
                },
                [&](OutputSettingsField<int> field) {
                    field(settings) =
                        conf.GetInt(key.section, key.name, field(defaults), key.low, key.high);
                },
                [&](OutputSettingsField<std::string> field) {
                    field(settings) = conf.GetString(key.section, key.name, field(defaults));
                },
                [&](OutputSettingsField<AnnounceWith> field) {
                    field(settings) = static_cast<AnnounceWith>(conf.GetChoice(
                        key.section, key.name, choices, static_cast<size_t>(field(defaults))));
                },
            },
            key.field);
    }
    return settings;
}

void WriteOutputSettings(TavoConf& conf, const OutputSettings& given) {
    OutputSettings settings = given; // the fields hand out references to a settings object
    for (const OutputSettingsKey& key : Keys) {
        const std::string text = std::visit(
            Overloaded{
                [&](OutputSettingsField<bool> field) {
                    return std::string(field(settings) ? "true" : "false");
                },
                [&](OutputSettingsField<int> field) { return std::to_string(field(settings)); },
                [&](OutputSettingsField<std::string> field) { return field(settings); },
                [&](OutputSettingsField<AnnounceWith> field) {
                    return std::string(AnnounceNames[static_cast<size_t>(field(settings))]);
                },
            },
            key.field);
        conf.Set(key.section, key.name, text);
    }
}

bool HoldsSecret(const TavoConf& conf) {
    for (const OutputSettingsKey& key : Keys)
        if (key.secret && !conf.GetString(key.section, key.name, "").empty())
            return true;
    for (const LineSettingsKey& key : LineSettingsKeys())
        if (key.secret && !conf.GetString(key.section, key.name, "").empty())
            return true;
    for (const TavoConf::Entry& entry : conf.Entries())
        if (!entry.value.empty() && NamedLikeASecret(entry.key))
            return true;
    return false;
}
