#include "settings/SettingsRanges.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

TEST(SettingsRanges, ValuesOutOfRangeTakeTheirDefaultsAndAreNamed) {
    Settings settings;
    SetDefaultSettings(settings);
    settings.displaySeconds = 11;
    settings.fontSize = -240;
    settings.colWidthTo = 32767;
    settings.telnetPort = 65536;
    EXPECT_EQ(UseDefaultsForValuesOutOfRange(settings),
              "display time, font size, to column width, telnet port");
    EXPECT_EQ(settings.displaySeconds, 5);
    EXPECT_EQ(settings.fontSize, 240);
    EXPECT_EQ(settings.colWidthTo, 80);
    EXPECT_EQ(settings.telnetPort, 6100);
}

TEST(SettingsRanges, ValuesAtTheEdgesAreKept) {
    Settings settings;
    SetDefaultSettings(settings);
    settings.displaySeconds = 0; // no popup
    settings.fontSize = 2000;
    settings.colWidthDateTime = 0;
    settings.colWidthWho = 4000;
    settings.telnetPort = 65535;
    const Settings before = settings;
    EXPECT_EQ(UseDefaultsForValuesOutOfRange(settings), "");
    EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);
}

TEST(SettingsRanges, ARecordOfRandomBytesEndsInRange) {
    std::mt19937 random(16);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(sizeof(Settings), '\0');
        for (char& byte : bytes)
            byte = char(random());
        Settings settings;
        ApplyStoredSettings(settings, bytes);
        UseDefaultsForValuesOutOfRange(settings);
        EXPECT_TRUE(DisplaySecondsRange.Holds(settings.displaySeconds));
        EXPECT_TRUE(FontSizeRange.Holds(settings.fontSize));
        EXPECT_TRUE(ColumnWidthRange.Holds(settings.colWidthDateTime));
        EXPECT_TRUE(ColumnWidthRange.Holds(settings.colWidthCount));
        EXPECT_TRUE(TelnetPortRange.Holds(settings.telnetPort));
    }
}

} // namespace
