#include "settings/TavoConf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace {

const char* const HandWritten = "; my monitor\n"
                                "[ncid]\n"
                                "enabled = yes\n"
                                "allow=127.0.0.1/32, 192.168.1.0/24   ; the house\n"
                                "\n"
                                "[Weather]\n"
                                "city=Hamburg\n"
                                "[mqtt]\n"
                                "ca_file=                      ; TLS when set\n"
                                "password=\"a ;b\\\"c\"\n"
                                "future_key=42\n";

TEST(TavoConf, ReadsValuesCommentsAndQuotes) {
    const TavoConf conf = TavoConf::Parse(HandWritten);
    EXPECT_EQ(conf.Get("ncid", "allow"), "127.0.0.1/32, 192.168.1.0/24");
    EXPECT_EQ(conf.Get("NCID", "Enabled"), "yes");
    EXPECT_EQ(conf.Get("mqtt", "ca_file"), "");
    EXPECT_EQ(conf.Get("mqtt", "password"), "a ;b\"c");
    EXPECT_EQ(conf.Get("weather", "city"), "Hamburg");
    EXPECT_FALSE(conf.Get("ncid", "city").has_value());
    EXPECT_TRUE(conf.Problems().empty());
}

TEST(TavoConf, SavingKeepsWhatTheProgramDoesNotKnow) {
    TavoConf conf = TavoConf::Parse(HandWritten);
    OutputSettings settings = ReadOutputSettings(conf);
    settings.ncid.port = 4444;                // a new key in an existing section
    settings.mqtt.caFile = "/etc/ca.pem";     // a value before a comment
    settings.mqtt.password = " spaced # out"; // must come back as it is
    settings.command.program = "/usr/bin/logger";
    WriteOutputSettings(conf, settings);
    const std::string text = conf.Text();

    EXPECT_NE(text.find("; my monitor\n"), std::string::npos);
    EXPECT_NE(text.find("[Weather]\ncity=Hamburg\n"), std::string::npos);
    EXPECT_NE(text.find("future_key=42\n"), std::string::npos);
    EXPECT_NE(text.find("ca_file=/etc/ca.pem                      ; TLS when set\n"),
              std::string::npos);
    // The new port stands in [ncid], before the next section.
    EXPECT_LT(text.find("port=4444"), text.find("[Weather]"));
    EXPECT_GT(text.find("port=4444"), text.find("[ncid]"));

    const TavoConf again = TavoConf::Parse(text);
    EXPECT_TRUE(again.Problems().empty()) << again.Problems().front();
    EXPECT_EQ(ReadOutputSettings(again), settings);
    // Writing the same settings once more changes nothing.
    TavoConf twice = again;
    WriteOutputSettings(twice, settings);
    EXPECT_EQ(twice.Text(), text);
}

TEST(TavoConf, BadValuesAreReportedAndGiveTheDefaults) {
    const TavoConf conf = TavoConf::Parse("[ncid]\n"
                                          "enabled=perhaps\n"
                                          "port=99999\n"
                                          "replay=ten\n"
                                          "this line is nonsense\n"
                                          "[notify]\n"
                                          "announce_with=smoke\n"
                                          "[command]\n"
                                          "timeout=5\n");
    const OutputSettings s = ReadOutputSettings(conf);
    const OutputSettings defaults;
    EXPECT_EQ(s.ncid.enabled, defaults.ncid.enabled);
    EXPECT_EQ(s.ncid.port, 3333);
    EXPECT_EQ(s.ncid.replay, 50);
    EXPECT_EQ(s.notify.announceWith, AnnounceWith::Popup);
    EXPECT_EQ(s.command.timeoutSeconds, 5);
    ASSERT_EQ(conf.Problems().size(), 5u);
    EXPECT_EQ(conf.Problems()[0], "tavo.conf line 5: neither a section, a key=value nor a "
                                  "comment: \"this line is nonsense\"");
    EXPECT_NE(conf.Problems()[2].find("line 3: [ncid] port=99999 is not a whole number from 1 "
                                      "to 65535; using 3333"),
              std::string::npos);
}

TEST(TavoConf, FileIsPrivateAndAMissingOneIsEmpty) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavo-conf-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string path = pattern + "/new/dir/tavo.conf";

    TavoConfLoad missing = LoadTavoConf(path);
    EXPECT_TRUE(missing.ok);
    EXPECT_EQ(missing.conf.Text(), "");

    TavoConf conf;
    conf.Set("mqtt", "password", "secret");
    std::string error;
    ASSERT_TRUE(SaveTavoConf(conf, path, error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(LoadTavoConf(path).conf.Get("mqtt", "password"), "secret");

    // A directory where the file should be cannot be read: an error, not an empty file.
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    TavoConfLoad unreadable = LoadTavoConf(path);
    EXPECT_FALSE(unreadable.ok);
    EXPECT_FALSE(SaveTavoConf(conf, path, error));
    std::filesystem::remove_all(pattern);
}

} // namespace
