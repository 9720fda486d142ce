#pragma once
// The range each number of the settings record must lie in to be used. A value outside it (a
// damaged or foreign record) is replaced by its default in memory, for this run; the stored
// bytes stay as they are until the settings are saved again.

#include "settings/Settings.h"

#include <string>

struct SettingRange {
    int32_t low;
    int32_t high;
    bool Holds(int32_t value) const { return value >= low && value <= high; }
};

inline constexpr SettingRange DisplaySecondsRange{0, 10}; // what the options page accepts
inline constexpr SettingRange FontSizeRange{10, 2000};    // tenths of a point: 1 to 200 points
inline constexpr SettingRange ColumnWidthRange{0, 4000};  // pixels; 0 is a column pushed shut
inline constexpr SettingRange TelnetPortRange{0, 65535};  // 0: a port of the system's choosing

// Replaces every value out of its range by its default. Returns the names of the replaced
// fields, separated by ", " (empty when all were in range).
std::string UseDefaultsForValuesOutOfRange(Settings& settings);
