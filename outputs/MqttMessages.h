#pragma once
// What TAVO publishes over MQTT, as plain functions: the topics under the base topic, the JSON
// of a call, and the Home Assistant discovery configs that make one device "TAVO on <host>"
// with a "last caller" sensor and a "line" binary sensor. Several monitors share one broker
// without clashing because everything is named after the host.

#include "outputs/CallEvent.h"
#include "settings/TavoConf.h"

#include <string>
#include <vector>

struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retain = false;
    int qos = 1;
};

// The machine's host name ("localhost" when it has none).
std::string LocalHostName();
// The base topic of the settings, else "tavo/<host>" ("+", "#" and "/" in the host become "_").
std::string MqttBaseTopic(const MqttSettings& settings, const std::string& host);
// Why a base topic set by the user cannot be published under (a wildcard "+" or "#" in it, or
// a "$" first, which brokers keep for themselves); empty when it can.
std::string MqttBaseTopicProblem(const std::string& baseTopic);
// The client id of the settings, else "tavo-<host>".
std::string MqttClientId(const MqttSettings& settings, const std::string& host);

// A JSON string literal, quotes included; the text is UTF-8.
std::string JsonString(const std::string& text);
// The call's fields as one JSON object; "action" and "rule" come last, and only when the
// screening rules judged the call.
std::string CallJson(const CallEvent& call);

// <base>/call (not retained) and <base>/last_call (retained).
std::vector<MqttMessage> CallMessages(const std::string& base, const CallEvent& call);
// <base>/call_end (not retained): "answered" or "missed", where and how long. When `last` is
// the call that ended, <base>/last_call again (retained) with the outcome among its fields, so
// the "Last caller" sensor carries it as attributes.
std::vector<MqttMessage> CallEndMessages(const std::string& base, const CallEndEvent& end,
                                         const CallEvent* last);
// <base>/line: "listening" or "lost", retained.
MqttMessage LineMessage(const std::string& base, LineState state);
// <base>/status: "online" or "offline", retained (the offline one is also the last will).
MqttMessage StatusMessage(const std::string& base, bool online);
// The retained discovery configs under homeassistant/.
std::vector<MqttMessage> DiscoveryMessages(const std::string& base, const std::string& host);
