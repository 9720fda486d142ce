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

// Found by fuzzing: what follows a closing quote is passed over when reading, and must stay
// passed over when a new value is written before it; CRs before a line end must not be lost one
// per save.
TEST(TavoConf, WritingAValueBeforeTextThatFollowedAQuoteReadsBackAsWritten) {
    TavoConf conf = TavoConf::Parse("[mqtt]\n"
                                    "password=\"old\"\vnot=a comment\n"
                                    "user=\"old\"  trailing words\n"
                                    "host=\"old\";close\n"
                                    "junk\r\r\n");
    EXPECT_EQ(conf.Get("mqtt", "password"), "old");
    EXPECT_EQ(conf.Get("mqtt", "user"), "old");
    conf.Set("mqtt", "password", "new");
    conf.Set("mqtt", "user", "new");
    conf.Set("mqtt", "host", "new");
    const std::string text = conf.Text();
    const TavoConf again = TavoConf::Parse(text);
    EXPECT_EQ(again.Get("mqtt", "password"), "new") << text;
    EXPECT_EQ(again.Get("mqtt", "user"), "new") << text;
    EXPECT_EQ(again.Get("mqtt", "host"), "new") << text;
    EXPECT_NE(text.find("not=a comment"), std::string::npos) << text;
    EXPECT_EQ(again.Text(), text);
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
                                  "comment (the line is not shown: it may hold a password)");
    EXPECT_NE(conf.Problems()[2].find("line 3: [ncid] port=99999 is not a whole number from 1 "
                                      "to 65535; using 3333"),
              std::string::npos);
}

TEST(TavoConf, LinesNotUnderstoodAreNamedByNumberNeverQuotedAndCountedWhenMany) {
    const TavoConf typo = TavoConf::Parse("[mqtt]\npassword s3cret\n[mqtt\n");
    ASSERT_EQ(typo.Problems().size(), 2u);
    EXPECT_EQ(typo.Problems()[0].rfind("tavo.conf line 2: ", 0), 0u) << typo.Problems()[0];
    EXPECT_EQ(typo.Problems()[1].rfind("tavo.conf line 3: ", 0), 0u) << typo.Problems()[1];
    for (const std::string& problem : typo.Problems())
        EXPECT_EQ(problem.find("s3cret"), std::string::npos) << problem;

    std::string junk = "[ncid]\nport=4000\n";
    for (int i = 0; i < 10000; ++i)
        junk += "junk junk junk\n";
    const TavoConf many = TavoConf::Parse(junk);
    ASSERT_EQ(many.Problems().size(), 6u);
    EXPECT_EQ(many.Problems()[4].rfind("tavo.conf line 7: ", 0), 0u);
    EXPECT_EQ(many.Problems()[5],
              "tavo.conf: 9995 more lines like that, the last of them line 10002");
    // What could be read is used.
    EXPECT_EQ(ReadOutputSettings(many).ncid.port, 4000);
}

TEST(TavoConf, EverySettingHasAKeyOfItsOwnInTheFilesLayout) {
    // The defaults into an empty file: the sections and keys in the order, and with the texts,
    // that files written by earlier versions have.
    TavoConf fresh;
    WriteOutputSettings(fresh, OutputSettings{});
    EXPECT_EQ(fresh.Text(), "[ncid]\nenabled=false\naddress=127.0.0.1\nport=3333\n"
                            "allow=127.0.0.1/32\nreplay=50\n"
                            "\n[mqtt]\nenabled=false\nhost=localhost\nport=1883\nca_file=\n"
                            "user=\npassword=\nclient_id=\nbase_topic=\ndiscovery=true\n"
                            "\n[notify]\nannounce_with=popup\n"
                            "\n[command]\nprogram=\narguments=\ntimeout=10\n");

    // Each field comes back from its own key.
    OutputSettings s;
    s.ncid = {true, "::1", 4001, "10.0.0.0/8", 7};
    s.mqtt = {true, "broker.lan", 8883, "/etc/ca.pem", "me", "pw", "id-1", "house/tavo", false};
    s.notify.announceWith = AnnounceWith::Both;
    s.command = {"/bin/echo", "-n x", 42};
    TavoConf conf;
    WriteOutputSettings(conf, s);
    const TavoConf back = TavoConf::Parse(conf.Text());
    EXPECT_EQ(ReadOutputSettings(back), s);
    EXPECT_TRUE(back.Problems().empty());
    EXPECT_EQ(back.Get("mqtt", "user"), "me");
    EXPECT_EQ(back.Get("command", "timeout"), "42");
}

struct TemporaryDirectory {
    TemporaryDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavo-conf-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TemporaryDirectory() { std::filesystem::remove_all(path); }
    std::string Write(const std::string& name, const std::string& text, mode_t mode) {
        const std::string file = path + "/" + name;
        std::ofstream(file) << text;
        ::chmod(file.c_str(), mode);
        return file;
    }
    std::string path;
};

TEST(TavoConf, APasswordOthersCanReadIsToldWithTheFileAndTheMend) {
    TemporaryDirectory dir;
    const std::string shared = dir.Write("shared.conf", "[mqtt]\npassword=pw\n", 0640);
    const TavoConfLoad load = LoadTavoConf(shared);
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(load.conf.Get("mqtt", "password"), "pw"); // loaded all the same
    EXPECT_NE(load.warning.find(shared), std::string::npos) << load.warning;
    EXPECT_NE(load.warning.find("chmod 600"), std::string::npos) << load.warning;
    EXPECT_EQ(load.warning.find("pw\n"), std::string::npos);

    // A secret of a key the outputs do not know counts too.
    EXPECT_FALSE(
        LoadTavoConf(dir.Write("token.conf", "[weather]\nApi_Token=abc\n", 0604)).warning.empty());
    EXPECT_TRUE(
        LoadTavoConf(dir.Write("private.conf", "[mqtt]\npassword=pw\n", 0600)).warning.empty());
    EXPECT_TRUE(
        LoadTavoConf(dir.Write("empty.conf", "[mqtt]\npassword=\nhost=h\n", 0644)).warning.empty());
}

TEST(TavoConf, WhatIsNotARegularFileIsRefusedAtOnce) {
    TemporaryDirectory dir;
    const std::string fifo = dir.path + "/fifo.conf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const TavoConfLoad load = LoadTavoConf(fifo); // no writer: a blocking open would wait
    EXPECT_FALSE(load.ok);
    EXPECT_NE(load.error.find("a FIFO"), std::string::npos) << load.error;

    const TavoConfLoad device = LoadTavoConf("/dev/zero");
    EXPECT_FALSE(device.ok);
    EXPECT_NE(device.error.find("a device"), std::string::npos) << device.error;

    const std::string large =
        dir.Write("large.conf", std::string(MaxTavoConfBytes + 1, '\n'), 0600);
    const TavoConfLoad tooLarge = LoadTavoConf(large);
    EXPECT_FALSE(tooLarge.ok);
    EXPECT_NE(tooLarge.error.find(large), std::string::npos) << tooLarge.error;
    EXPECT_TRUE(LoadTavoConf(dir.Write("fits.conf", std::string(MaxTavoConfBytes, '\n'), 0600)).ok);
}

TEST(TavoConf, AReplacedFileBecomesPrivateAndKeepsItsText) {
    TemporaryDirectory dir;
    const std::string path = dir.Write("tavo.conf", "; mine\n[mqtt]\nhost=a\n", 0644);
    TavoConfLoad load = LoadTavoConf(path);
    ASSERT_TRUE(load.ok);
    load.conf.Set("mqtt", "password", "pw");
    std::string error;
    ASSERT_TRUE(SaveTavoConf(load.conf, path, error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "; mine\n[mqtt]\nhost=a\npassword=pw\n");
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
