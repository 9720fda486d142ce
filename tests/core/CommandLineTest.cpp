#include "core/CommandLine.h"

#include <gtest/gtest.h>

namespace {
CommandLineResult Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}
} // namespace

TEST(CommandLine, MonitorOptionsInBothForms) {
    auto r = Parse({"--data-dir", "/tmp/x", "--line=sim", "--headless"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.dataDir, "/tmp/x");
    EXPECT_EQ(r.options.line, LineKind::Sim);
    EXPECT_TRUE(r.options.headless);
    EXPECT_FALSE(r.options.demo);

    r = Parse({"--capi-remote", "rcapi:127.0.0.1:2662"});
    ASSERT_EQ(r.error, "");
    ASSERT_TRUE(r.options.capiRemote);
    EXPECT_EQ(r.options.capiRemote->driver, "rcapi");
    EXPECT_EQ(r.options.capiRemote->host, "127.0.0.1");
    EXPECT_EQ(r.options.capiRemote->port, 2662u);
}

TEST(CommandLine, DemoImpliesTheSimulatedLine) {
    auto r = Parse({"--demo"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.line, LineKind::Sim);
    EXPECT_NE(Parse({"--demo", "--line", "capi"}).error, "");
    EXPECT_NE(Parse({"--line", "sim", "--capi-remote", "rcapi:h:1"}).error, "");
}

TEST(CommandLine, BadInputIsAnError) {
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {"--bogus"},
             {"--line", "isdn"},
             {"--line"},
             {"--data-dir"},
             {"--data-dir="},
             {"--capi-remote", "rcapi:host"},
             {"--capi-remote", "rcapi:host:0"},
             {"--capi-remote", "rcapi:host:65536"},
             {"--capi-remote", "rcapi:host:12x"},
             {"--capi-remote", ":host:1"},
             {"--capi-remote", "rcapi::1"},
             {"--autostart", "maybe"},
             {"dump"},
             {"dump", "a", "b"},
             {"say"},
             {"say", "--wav"},
             {"say", "--loud", "x"},
             {"extra"},
         })
        EXPECT_NE(Parse(bad).error, "") << bad[0];
}

TEST(CommandLine, IPv6HostKeepsItsColons) {
    auto remote = ParseCapiRemote("rcapi:::1:2662");
    ASSERT_TRUE(remote);
    EXPECT_EQ(remote->host, "::1");
    EXPECT_EQ(remote->port, 2662u);
}

TEST(CommandLine, Subcommands) {
    auto r = Parse({"dump", "caller.his"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.command, TavoCommand::Dump);
    EXPECT_EQ(r.options.dumpFile, "caller.his");

    r = Parse({"say", "--wav", "out.wav", "Hello", "--there"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.command, TavoCommand::Say);
    EXPECT_EQ(r.options.wavFile, "out.wav");
    EXPECT_EQ(r.options.sayWords, (std::vector<std::string>{"Hello", "--there"}));
}

TEST(CommandLine, UsageNamesEveryOption) {
    std::string usage = UsageText();
    for (const char* option : {"--data-dir", "--line", "--capi-remote", "--demo", "--headless",
                               "--help", "--version", "--autostart", "dump", "say"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}
