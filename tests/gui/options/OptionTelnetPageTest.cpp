// The "telnet" page: the switch greying the boxes, the logon texts and the port.
#include "OptionsFixture.h"

#include <QCheckBox>
#include <QLabel>

class TelnetPage : public OptionsFixture {
protected:
    void Open() {
        OpenSheet();
        ShowPage(4);
    }
};

TEST_F(TelnetPage, ShowsTheStoredServerSettings) {
    settings.Write()->telnetEnabled = 1;
    settings.Write()->telnetPort = 6200;
    std::strcpy(settings.Write()->telnetUserId, "admin");
    std::strcpy(settings.Write()->telnetPassword, "secret");
    Open();
    EXPECT_TRUE(Find<QCheckBox>("IDC_TELNET_ENABLED")->isChecked());
    EXPECT_EQ(Find<QLineEdit>("IDC_TELNET_PORT")->text(), "6200");
    EXPECT_EQ(Find<QLineEdit>("IDC_TELNET_USERID")->text(), "admin");
    EXPECT_EQ(Find<QLineEdit>("IDC_TELNET_PASSWORD")->text(), "secret");
    EXPECT_EQ(Find<QLineEdit>("IDC_TELNET_PASSWORD")->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(Find<QLineEdit>("IDC_TELNET_PORT")->isEnabled());
    EXPECT_EQ(Find<QLabel>("IDC_TELNET_HINT")->text(),
              "Leave userid field blank to disable logon feature !");
}

TEST_F(TelnetPage, OnlyExactlyOneCountsAsSwitchedOn) {
    settings.Write()->telnetEnabled = 2;
    Open();
    EXPECT_FALSE(Find<QCheckBox>("IDC_TELNET_ENABLED")->isChecked());
    EXPECT_FALSE(Find<QLineEdit>("IDC_TELNET_USERID")->isEnabled());
    PressOk();
    EXPECT_EQ(settings.Read()->telnetEnabled, 0);
}

TEST_F(TelnetPage, UntickingGreysTheBoxesButStillStoresThem) {
    settings.Write()->telnetEnabled = 1;
    Open();
    Type("IDC_TELNET_PORT", "7000");
    Type("IDC_TELNET_USERID", "me");
    Type("IDC_TELNET_PASSWORD", "pw");
    Find<QCheckBox>("IDC_TELNET_ENABLED")->click();
    for (const char* box : {"IDC_TELNET_PORT", "IDC_TELNET_USERID", "IDC_TELNET_PASSWORD"})
        EXPECT_FALSE(Find<QLineEdit>(box)->isEnabled()) << box;
    PressOk();
    EXPECT_EQ(settings.Read()->telnetEnabled, 0);
    EXPECT_EQ(settings.Read()->telnetPort, 7000);
    EXPECT_STREQ(settings.Read()->telnetUserId, "me");
    EXPECT_STREQ(settings.Read()->telnetPassword, "pw");
}

TEST_F(TelnetPage, TickingEnablesTheBoxes) {
    Open();
    Find<QCheckBox>("IDC_TELNET_ENABLED")->click();
    EXPECT_TRUE(Find<QLineEdit>("IDC_TELNET_PORT")->isEnabled());
    PressOk();
    EXPECT_EQ(settings.Read()->telnetEnabled, 1);
}

TEST_F(TelnetPage, PortIsReadUpToTheFirstOtherCharacter) {
    Open();
    Type("IDC_TELNET_PORT", "6100x");
    PressOk();
    EXPECT_EQ(settings.Read()->telnetPort, 6100);
}

TEST_F(TelnetPage, PortWithoutDigitsIsZero) {
    Open();
    Type("IDC_TELNET_PORT", "abc");
    PressOk();
    EXPECT_EQ(settings.Read()->telnetPort, 0);
}

TEST_F(TelnetPage, LogonTextsAreCutAtThirtyOneCharacters) {
    Open();
    Type("IDC_TELNET_USERID", QString(40, 'u'));
    Type("IDC_TELNET_PASSWORD", QString(32, 'p'));
    PressOk();
    EXPECT_EQ(std::string(settings.Read()->telnetUserId), std::string(31, 'u'));
    EXPECT_EQ(std::string(settings.Read()->telnetPassword), std::string(31, 'p'));
}

TEST_F(TelnetPage, ShorterPasswordLeavesNoTraceOfTheOldOne) {
    std::strcpy(settings.Write()->telnetPassword, "a-long-old-secret");
    Open();
    Type("IDC_TELNET_PASSWORD", "pw");
    PressOk();
    EXPECT_STREQ(settings.Read()->telnetPassword, "pw");
    for (size_t i = 2; i < sizeof(Settings::telnetPassword); ++i)
        ASSERT_EQ(settings.Read()->telnetPassword[i], '\0') << "byte " << i << " of the stored record";
}

TEST_F(TelnetPage, CancelStoresNothing) {
    Open();
    Type("IDC_TELNET_PORT", "1");
    Find<QCheckBox>("IDC_TELNET_ENABLED")->click();
    PressCancel();
    EXPECT_EQ(settings.Read()->telnetPort, 6100);
    EXPECT_EQ(settings.Read()->telnetEnabled, 0);
}
