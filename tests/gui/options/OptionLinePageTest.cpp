// The "line" page: which lines calls come from and where each is reached, the values it
// refuses, and its values through tavo.conf and back.
#include "OptionsFixture.h"

#include "settings/LineSettings.h"
#include "settings/TavoConf.h"

#include <QCheckBox>
#include <QLabel>

class LinePage : public OptionsFixture {
protected:
    void Open() {
        context.lineSettings = &lines;
        OpenSheet();
        ShowPage(6);
    }
    bool Checked(const char* name) { return Find<QCheckBox>(name)->isChecked(); }
    void Check(const char* name, bool on) {
        if (Checked(name) != on)
            Click(name);
    }
    LineSettings lines;
};

TEST_F(LinePage, ShowsTheSavedLinesAndStoresTheChosenOnesInTheirOrder) {
    lines.sources = {LineSource::Ami, LineSource::Capi};
    lines.ami.host = "pbx.lan";
    lines.ami.user = "tavo";
    lines.ami.secret = " s3cret ";
    lines.ami.context = "";
    Open();
    EXPECT_EQ(sheet->Page(6)->Title(), "line");
    EXPECT_TRUE(Checked("IDC_LINE_CAPI"));
    EXPECT_TRUE(Checked("IDC_LINE_AMI"));
    EXPECT_FALSE(Checked("IDC_LINE_CALLMONITOR"));
    // Nobody chose the simulated line: it is not offered; the command line chose nothing.
    EXPECT_FALSE(Find<QCheckBox>("IDC_LINE_SIM")->isVisible());
    EXPECT_FALSE(Find<QLabel>("IDC_LINE_COMMAND_LINE")->isVisible());
    EXPECT_FALSE(Find<QLineEdit>("IDC_CALLMONITOR_HOST")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("IDC_CALLMONITOR_PORT")->text(), "1012");
    EXPECT_EQ(Find<QLineEdit>("IDC_AMI_HOST")->text(), "pbx.lan");
    EXPECT_NE(Find<QLineEdit>("IDC_AMI_SECRET")->echoMode(), QLineEdit::Normal);

    Check("IDC_LINE_CALLMONITOR", true);
    EXPECT_TRUE(Find<QLineEdit>("IDC_CALLMONITOR_HOST")->isEnabled());
    Type("IDC_CALLMONITOR_HOST", " 192.168.178.1 ");
    Type("IDC_CALLMONITOR_PORT", "1013");
    Type("IDC_AMI_CONTEXT", "from-trunk");
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_TRUE(warnings.empty());
    // tavo.conf's order stays; the new line follows.
    EXPECT_EQ(lines.sources,
              (std::vector<LineSource>{LineSource::Ami, LineSource::Capi, LineSource::CallMonitor}));
    EXPECT_EQ(lines.callMonitor.host, "192.168.178.1");
    EXPECT_EQ(lines.callMonitor.port, 1013);
    EXPECT_EQ(lines.ami.context, "from-trunk");
    // The secret as typed, blanks and all.
    EXPECT_EQ(lines.ami.secret, " s3cret ");
}

TEST_F(LinePage, RefusedValuesKeepTheSheetOpenAndChangeNothing) {
    struct Case {
        const char* what;
        std::function<void()> enter;
        const char* warning;
    };
    const std::vector<Case> cases{
        {"no line", [this] { Check("IDC_LINE_CAPI", false); }, "at least one"},
        {"a feed without a host",
         [this] {
             Check("IDC_LINE_CALLMONITOR", true);
             Type("IDC_CALLMONITOR_HOST", "  ");
         },
         "router's host"},
        {"a feed's port of 0",
         [this] {
             Check("IDC_LINE_CALLMONITOR", true);
             Type("IDC_CALLMONITOR_HOST", "router");
             Type("IDC_CALLMONITOR_PORT", "0");
         },
         "call-monitor port"},
        {"a feed's port above 65535",
         [this] {
             Check("IDC_LINE_CALLMONITOR", true);
             Type("IDC_CALLMONITOR_HOST", "router");
             Type("IDC_CALLMONITOR_PORT", "65536");
         },
         "call-monitor port"},
        {"a manager's port that is no number",
         [this] {
             Check("IDC_LINE_AMI", true);
             Type("IDC_AMI_USER", "tavo");
             Type("IDC_AMI_PORT", "50x8");
         },
         "port must be a number"},
        {"a manager without a user",
         [this] {
             Check("IDC_LINE_AMI", true);
             Type("IDC_AMI_USER", "");
         },
         "user"},
        {"a manager's host with a blank",
         [this] {
             Check("IDC_LINE_AMI", true);
             Type("IDC_AMI_USER", "tavo");
             Type("IDC_AMI_HOST", "pbx lan");
         },
         "without blanks"},
    };
    for (const Case& c : cases) {
        lines = LineSettings();
        warnings.clear();
        Open();
        c.enter();
        PressOk();
        EXPECT_FALSE(SheetAccepted()) << c.what;
        ASSERT_EQ(warnings.size(), 1u) << c.what;
        EXPECT_NE(warnings[0].indexOf(QString::fromLatin1(c.warning)), -1)
            << c.what << ": " << warnings[0].toStdString();
        // Nor is the page left for another.
        ShowPage(0);
        EXPECT_EQ(ActivePage(), sheet->Page(6)) << c.what;
        PressCancel();
        EXPECT_EQ(lines, LineSettings()) << c.what;
        sheet.reset();
    }
}

TEST_F(LinePage, CapiAndTheSimulatedLineAreOneLineAndTheSimulatedOneCanBeLeft) {
    lines.sources = {LineSource::Sim};
    Open();
    EXPECT_TRUE(Find<QCheckBox>("IDC_LINE_SIM")->isVisible());
    EXPECT_TRUE(Checked("IDC_LINE_SIM"));
    Check("IDC_LINE_CAPI", true);
    PressOk();
    EXPECT_FALSE(SheetAccepted());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].indexOf("choose one"), -1);
    Check("IDC_LINE_SIM", false);
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_EQ(lines.sources, std::vector<LineSource>{LineSource::Capi});
}

TEST_F(LinePage, ALineNotChosenKeepsItsValuesAndABadPortThereIsNoReasonToRefuse) {
    lines.callMonitor.host = "router";
    Open();
    Type("IDC_CALLMONITOR_HOST", "router2");
    Type("IDC_CALLMONITOR_PORT", "99999");
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_EQ(lines.sources, std::vector<LineSource>{LineSource::Capi});
    EXPECT_EQ(lines.callMonitor.host, "router2");
    EXPECT_EQ(lines.callMonitor.port, 1012);
}

TEST_F(LinePage, SaysWhenTheCommandLineChoseTheLinesAndIsGreyWithoutTavoConf) {
    context.linesFromCommandLine = true;
    Open();
    EXPECT_TRUE(Find<QLabel>("IDC_LINE_COMMAND_LINE")->isVisible());
    EXPECT_NE(Find<QLabel>("IDC_LINE_COMMAND_LINE")->text().indexOf("command line"), -1);
    sheet.reset();

    context.lineSettings = nullptr;
    context.linesFromCommandLine = false;
    OpenSheet();
    ShowPage(6);
    EXPECT_FALSE(sheet->Page(6)->isEnabled());
    EXPECT_TRUE(Checked("IDC_LINE_CAPI"));
    PressOk();
    EXPECT_TRUE(SheetAccepted());
}

TEST_F(LinePage, WhatThePageStoresComesBackFromTavoConfWithTheFileAroundItKept) {
    const char* const text = "# my monitor\n"
                             "[line]\n"
                             "sources = callmonitor ; the router\n"
                             "[callmonitor]\n"
                             "host = 192.168.178.1\n"
                             "[other]\n"
                             "kept = yes\n";
    TavoConf conf = TavoConf::Parse(text);
    lines = ReadLineSettings(conf);
    ASSERT_TRUE(conf.Problems().empty());
    Open();
    EXPECT_TRUE(Checked("IDC_LINE_CALLMONITOR"));
    EXPECT_EQ(Find<QLineEdit>("IDC_CALLMONITOR_HOST")->text(), "192.168.178.1");
    Check("IDC_LINE_AMI", true);
    Type("IDC_AMI_HOST", "10.0.0.2");
    Type("IDC_AMI_PORT", "5039");
    Type("IDC_AMI_USER", "monitor");
    Type("IDC_AMI_SECRET", "a \"quoted\" ; secret");
    PressOk();
    ASSERT_TRUE(SheetAccepted());

    WriteLineSettings(conf, lines);
    std::string error;
    ASSERT_TRUE(SaveTavoConf(conf, Path("tavo.conf").string(), error)) << error;
    const TavoConfLoad load = LoadTavoConf(Path("tavo.conf").string());
    ASSERT_TRUE(load.ok) << load.error;
    EXPECT_EQ(ReadLineSettings(load.conf), lines);
    EXPECT_EQ(ReadLineSettings(load.conf).ami.secret, "a \"quoted\" ; secret");
    EXPECT_EQ(load.conf.Get("line", "sources"), "callmonitor,ami");
    // What the user wrote around it stays.
    const std::string saved = FileBytes("tavo.conf");
    EXPECT_EQ(saved.rfind("# my monitor\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("; the router"), std::string::npos) << saved;
    EXPECT_EQ(load.conf.Get("other", "kept"), "yes");
}
