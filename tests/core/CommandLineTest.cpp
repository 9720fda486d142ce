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
             {"--capi-remote", "rcapi:"},
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

TEST(CommandLine, ARemoteWithoutAPortIsTheRoutersPort) {
    auto remote = ParseCapiRemote("router:192.168.178.1");
    ASSERT_TRUE(remote);
    EXPECT_EQ(remote->driver, "router");
    EXPECT_EQ(remote->host, "192.168.178.1");
    EXPECT_EQ(remote->port, 5031u);
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

TEST(CommandLine, ImportAreaCodesAndExport) {
    auto r = Parse({"import", "--country=de", "-y", "a.vcf", "--", "--odd.csv"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.command, TavoCommand::Import);
    EXPECT_EQ(r.options.country, "de");
    EXPECT_TRUE(r.options.yes);
    EXPECT_EQ(r.options.importFiles, (std::vector<std::string>{"a.vcf", "--odd.csv"}));
    EXPECT_NE(Parse({"import", "--yes"}).error, "");
    EXPECT_NE(Parse({"import", "--country"}).error, "");

    r = Parse({"areacodes", "GB"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.command, TavoCommand::AreaCodes);
    EXPECT_EQ(r.options.country, "GB");
    EXPECT_NE(Parse({"areacodes"}).error, "");

    r = Parse({"export", "--from", "2024-02-29", "--to=2024-03-01", "--format", "json", "-"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.command, TavoCommand::Export);
    EXPECT_EQ(r.options.exportFormat, ExportFormat::Json);
    EXPECT_EQ(r.options.exportFile, "-");
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {"export", "--from", "2023-02-29", "x"},
             {"export", "--to", "2024-13-01", "x"},
             {"export", "--from", "2024-1-01", "x"},
             {"export", "--from", "2024-03-02", "--to", "2024-03-01", "x"},
             {"export", "--format", "xml", "x"},
             {"export", "a", "b"},
             {"export"}})
        EXPECT_NE(Parse(bad).error, "") << bad[1];

    r = Parse({"rules", "replay", "--from", "2026-12-01", "my.rules"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.command, TavoCommand::Rules);
    EXPECT_TRUE(r.options.rulesReplay);
    EXPECT_EQ(r.options.rulesFile, "my.rules");
    EXPECT_EQ(r.options.exportFrom, "2026-12-01");
    r = Parse({"rules", "check"});
    ASSERT_EQ(r.error, "");
    EXPECT_FALSE(r.options.rulesReplay);
    EXPECT_FALSE(r.options.rulesFile);
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {"rules"}, {"rules", "test"}, {"rules", "check", "--from", "2026-12-01"},
             {"rules", "check", "a", "b"}})
        EXPECT_NE(Parse(bad).error, "") << bad.back();
}

TEST(CommandLine, LineTakesAListOfSourcesThatOverridesTavoConf) {
    auto r = Parse({"--line", "callmonitor,ami"});
    ASSERT_EQ(r.error, "");
    ASSERT_TRUE(r.options.lineSources);
    EXPECT_EQ(*r.options.lineSources,
              (std::vector<LineSource>{LineSource::CallMonitor, LineSource::Ami}));
    EXPECT_EQ(r.options.line, LineKind::Capi);

    r = Parse({"--line=capi, callmonitor", "--capi-remote", "router:192.168.178.1"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(*r.options.lineSources,
              (std::vector<LineSource>{LineSource::Capi, LineSource::CallMonitor}));

    r = Parse({"--line", "sim,ami", "--demo"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.line, LineKind::Sim);
    // Without --line nothing is chosen here: tavo.conf decides.
    EXPECT_FALSE(Parse({}).options.lineSources);

    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {"--line", "capi,sim"},
             {"--line", "ami,ami"},
             {"--line", "ami,"},
             {"--line", "fax"},
             {"--line", "callmonitor", "--capi-remote", "router:h"},
             {"--line", "ami", "--demo"},
         })
        EXPECT_NE(Parse(bad).error, "") << bad[1];
}
