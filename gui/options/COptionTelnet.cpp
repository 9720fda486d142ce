#include "gui/options/COptionTelnet.h"

#include "gui/ResourceIds.h"
#include "gui/options/COptionIds.h"
#include "gui/options/COptionValues.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>


namespace {
constexpr int logonWidth = int(sizeof(Settings::telnetUserId) - 1); // 31 characters
}

COptionTelnet::COptionTelnet(OptionsContext& context)
    : COptionPage(context, "telnet", OptionIds::TelnetPage) {}

void COptionTelnet::OnInitDialog() {
    enabledBox =
        AddCheckBox("enable telnet server", Ids::OptTelnetEnabled.objectName, 7, 7, 150, 10);
    AddLabel("port number", 7, 27, 60, 8);
    portBox = AddEdit(Ids::OptTelnetPort.objectName, 70, 25, 50, 13);
    AddLabel("userid", 7, 45, 60, 8);
    userIdBox = AddEdit(Ids::OptTelnetUserId.objectName, 70, 43, 110, 13);
    AddLabel("password", 7, 63, 60, 8);
    passwordBox = AddEdit(Ids::OptTelnetPassword.objectName, 70, 61, 110, 13);
    QLabel* hint = AddLabel("Leave userid field blank to disable logon feature !", 7, 83, 250, 8);
    hint->setObjectName(OptionIds::TelnetHint);
    // The password is shown in the clear, as the user typed it.
    userIdBox->setMaxLength(logonWidth);
    passwordBox->setMaxLength(logonWidth);
    connect(enabledBox, &QCheckBox::clicked, this, [this] { EnableBoxes(); });

    const auto settings = context.settings.Read();
    const Settings& s = *settings;
    enabledBox->setChecked(s.telnetEnabled == 1);
    passwordBox->setText(FromRecordText(FieldText(s.telnetPassword)));
    userIdBox->setText(FromRecordText(FieldText(s.telnetUserId)));
    portBox->setText(QString::number(s.telnetPort));
    EnableBoxes();
}

void COptionTelnet::EnableBoxes() {
    const bool on = enabledBox->isChecked();
    portBox->setEnabled(on);
    userIdBox->setEnabled(on);
    passwordBox->setEnabled(on);
}

void COptionTelnet::OnOK() {
    // Greyed boxes are stored too: switching the server off keeps its port and logon.
    const std::string password = ToRecordText(passwordBox->text());
    const std::string userId = ToRecordText(userIdBox->text());
    const int32_t port = ParsePortText(ToRecordText(portBox->text()));
    const auto settings = context.settings.Write();
    Settings& s = *settings;
    s.telnetEnabled = enabledBox->isChecked() ? 1 : 0;
    StoreText(s.telnetPassword, password);
    StoreText(s.telnetUserId, userId);
    s.telnetPort = port;
}
