#include "gui/options/COptionTelnet.h"

#include "gui/ResourceIds.h"
#include "gui/options/COptionIds.h"
#include "gui/options/COptionValues.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>


namespace {
constexpr int logonWidth = int(sizeof(Settings::telnetUserId) - 1); // 31 characters
}

COptionTelnet::COptionTelnet(OptionsContext& context)
    : COptionPage(context, QT_TRANSLATE_NOOP("COptionPage", "telnet"), OptionIds::TelnetPage) {}

void COptionTelnet::OnInitDialog() {
    enabledBox =
        MakeCheckBox(tr("&enable telnet server"), Ids::OptTelnetEnabled.objectName);
    portBox = MakeEdit(Ids::OptTelnetPort.objectName);
    userIdBox = MakeEdit(Ids::OptTelnetUserId.objectName);
    passwordBox = MakeEdit(Ids::OptTelnetPassword.objectName);
    portBox->setFixedWidth(CharactersWide(9));
    userIdBox->setFixedWidth(CharactersWide(20));
    passwordBox->setFixedWidth(CharactersWide(20));
    QLabel* hint = MakeLabel(tr("Leave userid field blank to disable logon feature !"));
    hint->setObjectName(OptionIds::TelnetHint);

    auto* boxes = new QGridLayout;
    boxes->addWidget(MakeLabel(tr("port &number"), portBox), 0, 0);
    boxes->addWidget(portBox, 0, 1, Qt::AlignLeft);
    boxes->addWidget(MakeLabel(tr("&userid"), userIdBox), 1, 0);
    boxes->addWidget(userIdBox, 1, 1, Qt::AlignLeft);
    boxes->addWidget(MakeLabel(tr("pass&word"), passwordBox), 2, 0);
    boxes->addWidget(passwordBox, 2, 1, Qt::AlignLeft);
    boxes->setColumnStretch(1, 1);
    auto* page = new QVBoxLayout(this);
    page->addWidget(enabledBox);
    page->addLayout(boxes);
    page->addWidget(hint);
    page->addStretch(1);
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
