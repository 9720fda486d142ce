#include "settings/SettingsRanges.h"

std::string UseDefaultsForValuesOutOfRange(Settings& settings) {
    Settings defaults;
    SetDefaultSettings(defaults);
    std::string replaced;
    auto check = [&](int32_t& value, int32_t fallback, SettingRange range, const char* name) {
        if (range.Holds(value))
            return;
        value = fallback;
        if (!replaced.empty())
            replaced += ", ";
        replaced += name;
    };
    check(settings.displaySeconds, defaults.displaySeconds, DisplaySecondsRange, "display time");
    check(settings.fontSize, defaults.fontSize, FontSizeRange, "font size");
    check(settings.colWidthDateTime, defaults.colWidthDateTime, ColumnWidthRange,
          "date/time column width");
    check(settings.colWidthTo, defaults.colWidthTo, ColumnWidthRange, "to column width");
    check(settings.colWidthWho, defaults.colWidthWho, ColumnWidthRange, "who column width");
    check(settings.colWidthCount, defaults.colWidthCount, ColumnWidthRange, "count column width");
    check(settings.telnetPort, defaults.telnetPort, TelnetPortRange, "telnet port");
    return replaced;
}
