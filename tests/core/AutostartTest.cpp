#include "core/Autostart.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

class AutostartTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tavo-autostart-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir); }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir;
};

TEST_F(AutostartTest, OnWritesAnEntryAndOffRemovesIt) {
    EXPECT_EQ(AutostartEntryPath(), (dir / "autostart" / "tavo.desktop").string());
    ASSERT_EQ(SetAutostart(true, "/usr/bin/tavo"), "");
    std::string text = Read(dir / "autostart" / "tavo.desktop");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nExec=/usr/bin/tavo\n"), std::string::npos);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "autostart" / "tavo.desktop.tmp"));

    ASSERT_EQ(SetAutostart(false, "/usr/bin/tavo"), "");
    EXPECT_FALSE(fs::exists(dir / "autostart" / "tavo.desktop"));
    // Switching off twice is not an error.
    EXPECT_EQ(SetAutostart(false, "/usr/bin/tavo"), "");
}

TEST_F(AutostartTest, PathsWithBlanksAreQuoted) {
    std::string text = AutostartEntryText("/opt/my tavo/tavo");
    EXPECT_NE(text.find("\nExec=\"/opt/my tavo/tavo\"\n"), std::string::npos);
}

TEST_F(AutostartTest, UnwritableDirectoryIsReported) {
    // A plain file where the autostart folder should be.
    std::ofstream(dir / "autostart") << "x";
    EXPECT_NE(SetAutostart(true, "/usr/bin/tavo"), "");
}
