#include "outputs/MqttMessages.h"

#include "platform/Version.h"

#include <cstdio>
#include <unistd.h>

namespace {

// How the caller is shown where one short text is wanted.
std::string Display(const CallEvent& call) {
    if (!call.callerName.empty())
        return call.callerName;
    if (call.callerKind == CallerKind::Number)
        return call.Caller();
    return CallerKindName(call.callerKind);
}

// Letters, digits, "_" and "-" only: the host as a part of an id.
std::string IdPart(const std::string& host) {
    std::string id;
    for (char c : host) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        id += plain ? (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) : '_';
    }
    return id;
}

} // namespace

std::string LocalHostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

std::string MqttBaseTopic(const MqttSettings& settings, const std::string& host) {
    if (!settings.baseTopic.empty())
        return settings.baseTopic;
    std::string safe = host;
    for (char& c : safe)
        if (c == '+' || c == '#' || c == '/')
            c = '_';
    return "tavo/" + safe;
}

std::string MqttBaseTopicProblem(const std::string& baseTopic) {
    for (const char wildcard : {'+', '#'})
        if (baseTopic.find(wildcard) != std::string::npos)
            return "\"" + baseTopic + "\" holds \"" + wildcard +
                   "\", a wildcard of subscriptions: nothing can be published under it";
    if (!baseTopic.empty() && baseTopic.front() == '$')
        return "\"" + baseTopic +
               "\" begins with \"$\": brokers keep such topics for themselves and pass on "
               "nothing published there";
    return {};
}

std::string MqttClientId(const MqttSettings& settings, const std::string& host) {
    return settings.clientId.empty() ? "tavo-" + IdPart(host) : settings.clientId;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string CallJson(const CallEvent& call) {
    std::string json = "{";
    const auto field = [&](const char* name, const std::string& value) {
        if (json.size() > 1)
            json += ",";
        json += JsonString(name) + ":" + value;
    };
    field("time", JsonString(IsoTime(call.time)));
    field("controller", std::to_string(call.controller));
    field("msn", JsonString(call.msn));
    field("msn_name", JsonString(call.msnName));
    field("service", JsonString(call.service));
    field("caller", JsonString(CallerKindName(call.callerKind)));
    field("number", JsonString(call.callerKind == CallerKind::Number ? call.number : ""));
    field("name", JsonString(call.callerName));
    field("area_code", JsonString(call.areaCode));
    field("local_number", JsonString(call.localNumber));
    field("place", JsonString(call.place));
    field("display", JsonString(Display(call)));
    field("repeat", std::to_string(call.repeatCount));
    // Only where rules are in force: without them a subscriber gets the object it always got.
    if (!call.screenAction.empty()) {
        field("action", JsonString(call.screenAction));
        field("rule", JsonString(call.screenRule));
    }
    return json + "}";
}

std::vector<MqttMessage> CallMessages(const std::string& base, const CallEvent& call) {
    const std::string json = CallJson(call);
    return {MqttMessage{base + "/call", json, false, 1},
            MqttMessage{base + "/last_call", json, true, 1}};
}

std::vector<MqttMessage> CallEndMessages(const std::string& base, const CallEndEvent& end,
                                         const CallEvent* last) {
    const std::string outcome = end.answered ? "answered" : "missed";
    std::string fields = "\"outcome\":" + JsonString(outcome) +
                         ",\"extension\":" + JsonString(end.extension) +
                         ",\"seconds\":" + std::to_string(end.seconds);
    if (end.cause != 0)
        fields += ",\"cause\":" + std::to_string(end.cause) +
                  ",\"cause_text\":" + JsonString(end.causeText);
    const bool withheld = end.number.empty() || end.number == "0";
    std::vector<MqttMessage> messages{MqttMessage{
        base + "/call_end",
        "{\"time\":" + JsonString(IsoTime(end.time)) +
            ",\"call_time\":" + JsonString(IsoTime(end.callTime)) +
            ",\"msn\":" + JsonString(end.msn) +
            ",\"number\":" + JsonString(withheld ? "" : end.number) + "," + fields + "}",
        false, 1}};
    if (last != nullptr && end.Ends(*last)) {
        std::string json = CallJson(*last);
        json.pop_back(); // the closing brace
        messages.push_back(MqttMessage{base + "/last_call", json + "," + fields + "}", true, 1});
    }
    return messages;
}

MqttMessage LineMessage(const std::string& base, LineState state) {
    return {base + "/line", state == LineState::Lost ? "lost" : "listening", true, 1};
}

MqttMessage StatusMessage(const std::string& base, bool online) {
    return {base + "/status", online ? "online" : "offline", true, 1};
}

std::vector<MqttMessage> DiscoveryMessages(const std::string& base, const std::string& host) {
    const std::string id = "tavo_" + IdPart(host);
    const std::string device = "\"device\":{\"identifiers\":[" + JsonString(id) +
                               "],\"name\":" + JsonString("TAVO on " + host) +
                               ",\"manufacturer\":\"TAVO\",\"model\":\"ISDN call monitor\","
                               "\"sw_version\":" +
                               JsonString(TavoVersion) + "}";
    const std::string availability = "\"availability_topic\":" + JsonString(base + "/status") +
                                     ",\"payload_available\":\"online\","
                                     "\"payload_not_available\":\"offline\"";
    const std::string sensor =
        "{\"name\":\"Last caller\",\"unique_id\":" + JsonString(id + "_last_caller") +
        ",\"state_topic\":" + JsonString(base + "/last_call") +
        ",\"value_template\":\"{{ value_json.display }}\",\"json_attributes_topic\":" +
        JsonString(base + "/last_call") + ",\"icon\":\"mdi:phone-incoming\"," + availability + "," +
        device + "}";
    const std::string line = "{\"name\":\"Line\",\"unique_id\":" + JsonString(id + "_line") +
                             ",\"state_topic\":" + JsonString(base + "/line") +
                             ",\"payload_on\":\"listening\",\"payload_off\":\"lost\","
                             "\"device_class\":\"connectivity\"," +
                             availability + "," + device + "}";
    return {MqttMessage{"homeassistant/sensor/" + id + "/last_caller/config", sensor, true, 1},
            MqttMessage{"homeassistant/binary_sensor/" + id + "/line/config", line, true, 1}};
}
