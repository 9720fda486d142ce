#include "settings/LineSettings.h"
#include "settings/OutputSettingsKeys.h"

#include <gtest/gtest.h>

namespace {

TEST(LineSettings, NoFileMeansCapiAndTheDocumentedDefaults) {
    const TavoConf conf = TavoConf::Parse("");
    const LineSettings settings = ReadLineSettings(conf);
    EXPECT_EQ(settings.sources, std::vector<LineSource>{LineSource::Capi});
    EXPECT_EQ(settings.callMonitor.host, "");
    EXPECT_EQ(settings.callMonitor.port, 1012);
    EXPECT_EQ(settings.ami.host, "127.0.0.1");
    EXPECT_EQ(settings.ami.port, 5038);
    EXPECT_EQ(settings.ami.context, "from-external");
    EXPECT_TRUE(conf.Problems().empty());
}

TEST(LineSettings, ReadFromTheSectionsAndWrittenBackTheSame) {
    const TavoConf conf = TavoConf::Parse("[line]\nsources = CAPI, callmonitor ,ami\n"
                                          "[callmonitor]\nhost=router.home\n"
                                          "[ami]\nhost=pbx\nport=15038\nuser=tavo\n"
                                          "secret=\"s3 ;cret\"\ncontext=\n");
    const LineSettings settings = ReadLineSettings(conf);
    EXPECT_EQ(settings.sources, (std::vector<LineSource>{LineSource::Capi, LineSource::CallMonitor,
                                                         LineSource::Ami}));
    EXPECT_EQ(settings.callMonitor.host, "router.home");
    EXPECT_EQ(settings.ami.port, 15038);
    EXPECT_EQ(settings.ami.user, "tavo");
    EXPECT_EQ(settings.ami.secret, "s3 ;cret");
    EXPECT_EQ(settings.ami.context, ""); // every context
    EXPECT_TRUE(conf.Problems().empty());

    TavoConf written;
    WriteLineSettings(written, settings);
    EXPECT_EQ(ReadLineSettings(TavoConf::Parse(written.Text())), settings);
}

TEST(LineSettings, BadValuesAreReportedAndGiveTheDefaults) {
    const TavoConf conf =
        TavoConf::Parse("[line]\nsources=capi,fax\n[callmonitor]\nport=70000\n[ami]\nport=x\n");
    const LineSettings settings = ReadLineSettings(conf);
    EXPECT_EQ(settings.sources, std::vector<LineSource>{LineSource::Capi});
    EXPECT_EQ(settings.callMonitor.port, 1012);
    EXPECT_EQ(settings.ami.port, 5038);
    ASSERT_EQ(conf.Problems().size(), 3u);
    EXPECT_NE(conf.Problems()[0].find("fax"), std::string::npos) << conf.Problems()[0];

    std::string error;
    EXPECT_FALSE(ParseLineSources("", error));
    EXPECT_FALSE(ParseLineSources("sim,capi", error));
    EXPECT_FALSE(ParseLineSources("ami,AMI", error));
}

TEST(LineSettings, TheManagersSecretMakesTheFileOneToKeepPrivate) {
    EXPECT_TRUE(HoldsSecret(TavoConf::Parse("[ami]\nsecret=x\n")));
    EXPECT_FALSE(HoldsSecret(TavoConf::Parse("[ami]\nsecret=\nuser=tavo\n")));
    bool secretKey = false;
    for (const LineSettingsKey& key : LineSettingsKeys())
        secretKey = secretKey || (key.secret && key.section == "ami" && key.name == "secret");
    EXPECT_TRUE(secretKey);
}

} // namespace
