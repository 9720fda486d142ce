#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Field values straight from the stored bytes, so a wrong offset in the record shows up.
int32_t IntAt(const Settings& s, size_t offset) {
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const char*>(&s) + offset, 4);
    return value;
}

std::string TextAt(const Settings& s, size_t offset) {
    return std::string(reinterpret_cast<const char*>(&s) + offset);
}

std::string Raw(const Settings& s) {
    return std::string(reinterpret_cast<const char*>(&s), sizeof s);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A private configuration home per test; the environment is restored afterwards.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavo-cfg-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        home = pattern;
        Save("XDG_CONFIG_HOME");
        Save("HOME");
        ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        ::setenv("HOME", home.c_str(), 1);
    }
    void TearDown() override {
        for (auto& [name, value] : savedEnv) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::filesystem::remove_all(home);
    }
    void Save(const std::string& name) {
        const char* v = std::getenv(name.c_str());
        savedEnv.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    void Store(const std::string& bytes) {
        std::filesystem::create_directories(home + "/config/TAVO");
        std::ofstream(home + "/config/TAVO/options", std::ios::binary) << bytes;
    }
    std::string home;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv;
};

void ExpectDefaultsFrom(const Settings& s, size_t from) {
    struct Int {
        size_t offset;
        int32_t value;
    };
    const Int ints[] = {{0, 100},  {4, 80},   {8, 190},  {12, 50},   {16, 0},  {20, 100},
                        {24, 100}, {28, 550}, {32, 350}, {36, 1},    {40, 0},  {44, 1},
                        {48, 5},   {52, 1},   {56, 240}, {124, 1},   {128, 1}, {292, 0},
                        {312, 0},  {316, 0},  {320, 50}, {328, 6100}};
    for (const Int& i : ints) {
        if (i.offset >= from) {
            EXPECT_EQ(IntAt(s, i.offset), i.value) << "offset " << i.offset;
        }
    }
    struct Text {
        size_t offset;
        const char* value;
    };
    const Text texts[] = {{60, "Arial"},
                          {132, "Incoming call on %to% from %from%"},
                          {260, "unknown"},
                          {332, ""},
                          {364, ""}};
    for (const Text& t : texts) {
        if (t.offset >= from) {
            EXPECT_EQ(TextAt(s, t.offset), t.value) << "offset " << t.offset;
        }
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(&s);
    for (size_t i = std::max<size_t>(from, 296); i < 312; ++i)
        EXPECT_EQ(bytes[i], 0) << "mode id byte " << i;
    for (size_t i = std::max<size_t>(from, 324); i < 328; ++i)
        EXPECT_EQ(bytes[i], 0) << "telnet flag or padding byte " << i;
}

} // namespace

TEST(Settings, DefaultsAtEveryOffset) {
    Settings s;
    std::memset(&s, 0xAB, sizeof s);
    SetDefaultSettings(s);
    ExpectDefaultsFrom(s, 0);
    // Unused text bytes are zero after the defaults.
    EXPECT_EQ(reinterpret_cast<const char*>(&s)[60 + 63], '\0');
    EXPECT_EQ(s.displaySeconds, 5);
    EXPECT_EQ(s.telnetPort, 6100);
}

TEST_F(SettingsStore, NoStoredRecordGivesDefaultsAndSaveCreatesIt) {
    Settings s;
    LoadSettings(s);
    ExpectDefaultsFrom(s, 0);
    EXPECT_EQ(SettingsFilePath(), home + "/config/TAVO/options");
    ASSERT_TRUE(SaveSettings(s));
    const std::string stored = ReadAll(home + "/config/TAVO/options");
    EXPECT_EQ(stored.size(), 396u);
    EXPECT_EQ(stored, Raw(s));
    // It holds the telnet password: nobody else may read it.
    EXPECT_EQ(std::filesystem::status(home + "/config/TAVO/options").permissions() &
                  (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);
}

TEST_F(SettingsStore, ShortStoredValueReplacesOnlyItsLeadingBytes) {
    std::string stored(200, '\0');
    const int32_t width = 333;
    std::memcpy(stored.data(), &width, 4);
    std::memcpy(stored.data() + 60, "Courier", 8);
    std::memcpy(stored.data() + 132, "Hello %from%", 13);
    Store(stored);
    Settings s;
    LoadSettings(s);
    EXPECT_EQ(IntAt(s, 0), 333);
    EXPECT_EQ(IntAt(s, 4), 0);
    EXPECT_EQ(IntAt(s, 48), 0); // displaySeconds stored as 0: no popup
    EXPECT_EQ(TextAt(s, 60), "Courier");
    EXPECT_EQ(TextAt(s, 132), "Hello %from%");
    ExpectDefaultsFrom(s, 200);
}

TEST_F(SettingsStore, OverlongStoredValueGivesTheDefaultsAndIsKept) {
    for (size_t size : {size_t(397), size_t(10) << 20}) {
        SCOPED_TRACE(size);
        const std::string stored(size, '\x7F');
        Store(stored);
        Settings s;
        const std::string note = LoadSettings(s);
        ExpectDefaultsFrom(s, 0);
        EXPECT_NE(note.find(std::to_string(size) + " bytes"), std::string::npos) << note;
        // The save at exit writes the defaults, but the stored bytes stay beside them.
        ASSERT_TRUE(SaveSettings(s));
        EXPECT_EQ(ReadAll(SettingsFilePath()).size(), sizeof(Settings));
        std::vector<std::string> kept;
        for (const auto& entry : std::filesystem::directory_iterator(home + "/config/TAVO"))
            if (entry.path().filename().string().rfind("options.ignored-", 0) == 0)
                kept.push_back(entry.path().string());
        ASSERT_EQ(kept.size(), 1u) << note;
        EXPECT_EQ(note.find(kept[0]) != std::string::npos, true) << note;
        EXPECT_TRUE(ReadAll(kept[0]) == stored);
        std::filesystem::remove(kept[0]);
    }
}

TEST_F(SettingsStore, OverlongValueThatCannotBeKeptAsideIsNeverReplaced) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    const std::string stored(397, '\x01');
    Store(stored);
    const std::string dir = home + "/config/TAVO";
    ::chmod(dir.c_str(), 0500);
    Settings s;
    EXPECT_NE(LoadSettings(s).find("not saved"), std::string::npos);
    ::chmod(dir.c_str(), 0700);
    EXPECT_FALSE(SaveSettings(s));
    EXPECT_TRUE(ReadAll(SettingsFilePath()) == stored);
}

TEST_F(SettingsStore, ReservedWordPaddingAndTextTailsRoundTripExactly) {
    std::string stored(396, '\0');
    for (size_t i = 0; i < stored.size(); ++i)
        stored[i] = static_cast<char>(i * 7 + 1);
    // Keep the text buffers terminated so the load has nothing to repair.
    for (size_t end : {60 + 63, 132 + 127, 260 + 31, 332 + 31, 364 + 31})
        stored[end - 5] = '\0';
    stored[324] = 2; // telnetEnabled 2 is kept as it stands (it means off)
    Store(stored);
    Settings s;
    LoadSettings(s);
    EXPECT_EQ(Raw(s), stored);
    EXPECT_EQ(s.telnetEnabled, 2);
    ::setenv("XDG_CONFIG_HOME", (home + "/other").c_str(), 1);
    ASSERT_TRUE(SaveSettings(s));
    EXPECT_EQ(ReadAll(home + "/other/TAVO/options"), stored);
}

TEST_F(SettingsStore, UnterminatedTextsAreCutAtTheirLastByte) {
    Settings defaults;
    SetDefaultSettings(defaults);
    std::string stored = Raw(defaults);
    std::memset(stored.data() + 60, 'F', 64);
    std::memset(stored.data() + 260, 'U', 32);
    std::memset(stored.data() + 364, 'P', 32);
    Store(stored);
    Settings s;
    LoadSettings(s);
    EXPECT_EQ(std::string(s.fontName), std::string(63, 'F'));
    EXPECT_EQ(std::string(s.unknownSpeakText), std::string(31, 'U'));
    EXPECT_EQ(std::string(s.telnetPassword), std::string(31, 'P'));
    EXPECT_EQ(s.onlyNamedMsns, 0); // the byte after the buffer is untouched
}

TEST_F(SettingsStore, RelativeConfigHomeIsIgnored) {
    ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(SettingsFilePath(), home + "/.config/TAVO/options");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFilePath(), home + "/.config/TAVO/options");
}

TEST_F(SettingsStore, FailedSaveReportsFalseAndKeepsTheStoredRecord) {
    // The configuration home is a file, so the directory cannot be made.
    std::ofstream(home + "/blocker") << "x";
    ::setenv("XDG_CONFIG_HOME", (home + "/blocker").c_str(), 1);
    Settings s;
    SetDefaultSettings(s);
    EXPECT_FALSE(SaveSettings(s));
    EXPECT_EQ(ReadAll(home + "/blocker"), "x");
}
