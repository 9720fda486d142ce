// The "network" page: the outputs of tavo.conf, the note that NCID has no login, refused values.
#include "OptionsFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

class NetworkPage : public OptionsFixture {
protected:
    void Open() {
        context.outputSettings = &outputs;
        OpenSheet();
        ShowPage(5);
    }
    OutputSettings outputs;
};

TEST_F(NetworkPage, ShowsAndStoresTheOutputs) {
    outputs.ncid.enabled = true;
    outputs.ncid.port = 3334;
    outputs.mqtt.password = "secret";
    outputs.notify.announceWith = AnnounceWith::Both;
    Open();
    EXPECT_EQ(sheet->Page(5)->Title(), "network");
    EXPECT_TRUE(Find<QCheckBox>("IDC_NCID_ENABLED")->isChecked());
    EXPECT_EQ(Find<QLineEdit>("IDC_NCID_PORT")->text(), "3334");
    EXPECT_EQ(Find<QLineEdit>("IDC_NCID_ALLOW")->text(), "127.0.0.1/32");
    EXPECT_FALSE(Find<QLineEdit>("IDC_MQTT_HOST")->isEnabled());
    EXPECT_EQ(Find<QComboBox>("IDC_ANNOUNCE_WITH")->currentIndex(), 2);
    EXPECT_NE(Find<QLabel>("IDC_NCID_NO_LOGIN")->text().indexOf("no login"), -1);

    Click("IDC_MQTT_ENABLED");
    Type("IDC_MQTT_HOST", "broker.home");
    Type("IDC_COMMAND_PROGRAM", "/usr/bin/logger");
    Find<QComboBox>("IDC_ANNOUNCE_WITH")->setCurrentIndex(1);
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_TRUE(outputs.mqtt.enabled);
    EXPECT_EQ(outputs.mqtt.host, "broker.home");
    EXPECT_EQ(outputs.mqtt.password, "secret");
    EXPECT_EQ(outputs.command.program, "/usr/bin/logger");
    EXPECT_EQ(outputs.notify.announceWith, AnnounceWith::Notification);
    EXPECT_EQ(outputs.ncid.port, 3334);
}

TEST_F(NetworkPage, ABadPortKeepsTheSheetOpenAndChangesNothing) {
    outputs.ncid.enabled = true;
    Open();
    Type("IDC_NCID_PORT", "99999");
    PressOk();
    EXPECT_FALSE(SheetAccepted());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].indexOf("NCID port"), -1);
    EXPECT_EQ(outputs.ncid.port, 3333);
    PressCancel();
    EXPECT_EQ(outputs.ncid.port, 3333);
}
