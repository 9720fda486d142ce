#pragma once
// What the window's status bar and the tray icon's tooltip say about the outputs that are
// switched on: one line each, "MQTT: connected to broker.lan:1883" or "MQTT failing: why".

#include "outputs/OutputStatus.h"

#include <QString>

#include <vector>

// One line per output, joined by "\n"; empty when no output is on.
QString OutputStatusText(const std::vector<OutputStatus>& statuses);
