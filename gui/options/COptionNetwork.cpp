#include "gui/options/COptionNetwork.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

COptionNetwork::COptionNetwork(OptionsContext& context)
    : COptionPage(context, QT_TRANSLATE_NOOP("COptionPage", "network"), "IDD_OPTION_NETWORK") {}

void COptionNetwork::OnInitDialog() {
    ncidBox = MakeCheckBox(tr("NC&ID server"), "IDC_NCID_ENABLED");
    ncidAddress = MakeEdit("IDC_NCID_ADDRESS");
    ncidPort = MakeEdit("IDC_NCID_PORT");
    ncidAllow = MakeEdit("IDC_NCID_ALLOW");
    ncidReplay = MakeEdit("IDC_NCID_REPLAY");
    QLabel* noLogin = MakeLabel(tr("NCID has no login: every address in \"allow\" sees the calls."));
    noLogin->setObjectName("IDC_NCID_NO_LOGIN");

    mqttBox = MakeCheckBox(tr("M&QTT broker"), "IDC_MQTT_ENABLED");
    mqttHost = MakeEdit("IDC_MQTT_HOST");
    mqttPort = MakeEdit("IDC_MQTT_PORT");
    mqttUser = MakeEdit("IDC_MQTT_USER");
    mqttPassword = MakeEdit("IDC_MQTT_PASSWORD");
    mqttPassword->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    mqttCaFile = MakeEdit("IDC_MQTT_CA_FILE");
    mqttBaseTopic = MakeEdit("IDC_MQTT_BASE_TOPIC");
    mqttBaseTopic->setPlaceholderText(tr("tavo/<host name>"));
    mqttDiscovery = MakeCheckBox(tr("Home Assistant di&scovery"), "IDC_MQTT_DISCOVERY");

    announceWith = new QComboBox(this);
    announceWith->setObjectName("IDC_ANNOUNCE_WITH");
    announceWith->addItems(
        {tr("the own popup"), tr("a desktop notification"), tr("both")});
    program = MakeEdit("IDC_COMMAND_PROGRAM");
    program->setPlaceholderText(tr("run for each call, without a shell"));
    arguments = MakeEdit("IDC_COMMAND_ARGUMENTS");
    timeout = MakeEdit("IDC_COMMAND_TIMEOUT");
    QLabel* variables = MakeLabel(
        tr("The call's fields reach the command as TAVO_NUMBER, TAVO_NAME, ... variables."));
    variables->setObjectName("IDC_COMMAND_HINT");
    for (QLineEdit* number : {ncidPort, ncidReplay, mqttPort, timeout})
        number->setFixedWidth(CharactersWide(7));

    // Four columns: a label and its box, twice; a box without a partner spans the rest.
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    auto pair = [&](int column, const QString& text, QWidget* box, int span = 1) {
        grid->addWidget(MakeLabel(text, box), row, column);
        grid->addWidget(box, row, column + 1, 1, span);
    };
    grid->addWidget(ncidBox, row++, 0, 1, 4);
    pair(0, tr("a&ddress"), ncidAddress);
    pair(2, tr("&port"), ncidPort);
    ++row;
    pair(0, tr("&allow"), ncidAllow);
    pair(2, tr("repla&y"), ncidReplay);
    ++row;
    grid->addWidget(noLogin, row++, 0, 1, 4);
    grid->addWidget(mqttBox, row++, 0, 1, 4);
    pair(0, tr("&host"), mqttHost);
    pair(2, tr("po&rt"), mqttPort);
    ++row;
    pair(0, tr("&user"), mqttUser);
    pair(2, tr("pass&word"), mqttPassword);
    ++row;
    pair(0, tr("CA &file"), mqttCaFile, 3);
    ++row;
    pair(0, tr("&topic"), mqttBaseTopic);
    grid->addWidget(mqttDiscovery, row++, 2, 1, 2);
    pair(0, tr("a&nnounce calls with"), announceWith, 3);
    ++row;
    pair(0, tr("co&mmand"), program, 3);
    ++row;
    pair(0, tr("ar&guments"), arguments);
    pair(2, tr("tim&e-out (s)"), timeout);
    ++row;
    grid->addWidget(variables, row++, 0, 1, 4);

    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addStretch(1);

    connect(ncidBox, &QCheckBox::clicked, this, [this] { EnableBoxes(); });
    connect(mqttBox, &QCheckBox::clicked, this, [this] { EnableBoxes(); });

    const OutputSettings s = context.outputSettings ? *context.outputSettings : OutputSettings{};
    ncidBox->setChecked(s.ncid.enabled);
    ncidAddress->setText(QString::fromStdString(s.ncid.address));
    ncidPort->setText(QString::number(s.ncid.port));
    ncidAllow->setText(QString::fromStdString(s.ncid.allow));
    ncidReplay->setText(QString::number(s.ncid.replay));
    mqttBox->setChecked(s.mqtt.enabled);
    mqttHost->setText(QString::fromStdString(s.mqtt.host));
    mqttPort->setText(QString::number(s.mqtt.port));
    mqttUser->setText(QString::fromStdString(s.mqtt.user));
    mqttPassword->setText(QString::fromStdString(s.mqtt.password));
    mqttCaFile->setText(QString::fromStdString(s.mqtt.caFile));
    mqttBaseTopic->setText(QString::fromStdString(s.mqtt.baseTopic));
    mqttDiscovery->setChecked(s.mqtt.discovery);
    announceWith->setCurrentIndex(static_cast<int>(s.notify.announceWith));
    program->setText(QString::fromStdString(s.command.program));
    arguments->setText(QString::fromStdString(s.command.arguments));
    timeout->setText(QString::number(s.command.timeoutSeconds));
    EnableBoxes();
    // Without tavo.conf behind it the page only shows the defaults.
    setEnabled(context.outputSettings != nullptr);
}

void COptionNetwork::EnableBoxes() {
    for (QLineEdit* box : {ncidAddress, ncidPort, ncidAllow, ncidReplay})
        box->setEnabled(ncidBox->isChecked());
    for (QLineEdit* box : {mqttHost, mqttPort, mqttUser, mqttPassword, mqttCaFile, mqttBaseTopic})
        box->setEnabled(mqttBox->isChecked());
    mqttDiscovery->setEnabled(mqttBox->isChecked());
}

bool COptionNetwork::Read(OutputSettings& s, QString& problem) const {
    // Switched-off outputs keep their values, refused or not, as the user typed them last.
    s.ncid.enabled = ncidBox->isChecked();
    s.ncid.address = TrimmedText(ncidAddress);
    s.ncid.allow = TrimmedText(ncidAllow);
    if (!ReadNumberBox(ncidPort, 1, 65535, s.ncid.port) && s.ncid.enabled)
        problem = tr("The NCID port must be a number from 1 to 65535.");
    if (!ReadNumberBox(ncidReplay, 0, 10000, s.ncid.replay) && s.ncid.enabled)
        problem = tr("The NCID replay must be a number of calls from 0 to 10000.");
    s.mqtt.enabled = mqttBox->isChecked();
    s.mqtt.host = TrimmedText(mqttHost);
    if (!ReadNumberBox(mqttPort, 1, 65535, s.mqtt.port) && s.mqtt.enabled)
        problem = tr("The MQTT port must be a number from 1 to 65535.");
    if (s.mqtt.enabled && s.mqtt.host.empty())
        problem = tr("MQTT needs the broker's host.");
    s.mqtt.user = TrimmedText(mqttUser);
    s.mqtt.password = mqttPassword->text().toStdString();
    s.mqtt.caFile = TrimmedText(mqttCaFile);
    s.mqtt.baseTopic = TrimmedText(mqttBaseTopic);
    s.mqtt.discovery = mqttDiscovery->isChecked();
    s.notify.announceWith = static_cast<AnnounceWith>(announceWith->currentIndex());
    s.command.program = TrimmedText(program);
    s.command.arguments = TrimmedText(arguments);
    if (!ReadNumberBox(timeout, 1, 24 * 3600, s.command.timeoutSeconds) && !s.command.program.empty())
        problem = tr("The command's time-out must be a number of seconds from 1 to 86400.");
    return problem.isEmpty();
}

bool COptionNetwork::Validate() {
    return ValidateByReading(context.outputSettings, &COptionNetwork::Read);
}

void COptionNetwork::OnOK() {
    StoreByReading(context.outputSettings, &COptionNetwork::Read);
}
