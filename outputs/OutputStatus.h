#pragma once
// How an output that is switched on is doing, for the window's status bar and the tray's
// tooltip: connected or failing, and why. Each output tells its own state, from its own thread,
// whenever it changes; OutputHub gathers them (OutputHub::Statuses, SetStatusListener).

#include <functional>
#include <string>

enum class OutputHealth {
    Starting, // switched on, no verdict yet (connecting to a broker)
    Working,  // connected, listening, a notification server there, the last command ran well
    Failing,  // see the text: why
};

struct OutputStatus {
    std::string output; // "NCID", "MQTT", "notifications" or "command"
    OutputHealth health = OutputHealth::Starting;
    // One line in English: "connected to broker.lan:1883", "broker.lan:1883 refused the login
    // (Connection Refused: not authorised.)", "cannot listen on 127.0.0.1 port 3333: Address
    // already in use". Never holds a password.
    std::string text;
    bool operator==(const OutputStatus&) const = default;
};

// How an output tells its state; safe to call from any thread, as often as it likes (the hub
// passes on changes only).
using OutputStatusSink = std::function<void(OutputHealth health, const std::string& text)>;
