#include "gui/options/COptionNetwork.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <charconv>

namespace {

bool ReadNumber(const QLineEdit* box, int low, int high, int& value) {
    const std::string text = box->text().trimmed().toStdString();
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < low || number > high)
        return false;
    value = number;
    return true;
}

std::string Text(const QLineEdit* box) {
    return box->text().trimmed().toStdString();
}

} // namespace

COptionNetwork::COptionNetwork(OptionsContext& context)
    : COptionPage(context, "network", "IDD_OPTION_NETWORK") {}

void COptionNetwork::OnInitDialog() {
    ncidBox = AddCheckBox("NCID server", "IDC_NCID_ENABLED", 7, 5, 60, 10);
    AddLabel("address", 72, 6, 30, 8);
    ncidAddress = AddEdit("IDC_NCID_ADDRESS", 104, 4, 80, 12);
    AddLabel("port", 192, 6, 20, 8);
    ncidPort = AddEdit("IDC_NCID_PORT", 214, 4, 40, 12);
    AddLabel("allow", 17, 21, 30, 8);
    ncidAllow = AddEdit("IDC_NCID_ALLOW", 50, 19, 134, 12);
    AddLabel("replay", 192, 21, 24, 8);
    ncidReplay = AddEdit("IDC_NCID_REPLAY", 218, 19, 36, 12);
    QLabel* noLogin =
        AddLabel("NCID has no login: every address in \"allow\" sees the calls.", 17, 34, 240, 8);
    noLogin->setObjectName("IDC_NCID_NO_LOGIN");

    mqttBox = AddCheckBox("MQTT broker", "IDC_MQTT_ENABLED", 7, 50, 60, 10);
    AddLabel("host", 72, 51, 30, 8);
    mqttHost = AddEdit("IDC_MQTT_HOST", 104, 49, 80, 12);
    AddLabel("port", 192, 51, 20, 8);
    mqttPort = AddEdit("IDC_MQTT_PORT", 214, 49, 40, 12);
    AddLabel("user", 17, 66, 30, 8);
    mqttUser = AddEdit("IDC_MQTT_USER", 50, 64, 70, 12);
    AddLabel("password", 128, 66, 34, 8);
    mqttPassword = AddEdit("IDC_MQTT_PASSWORD", 164, 64, 90, 12);
    mqttPassword->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    AddLabel("CA file", 17, 81, 30, 8);
    mqttCaFile = AddEdit("IDC_MQTT_CA_FILE", 50, 79, 204, 12);
    AddLabel("topic", 17, 96, 30, 8);
    mqttBaseTopic = AddEdit("IDC_MQTT_BASE_TOPIC", 50, 94, 110, 12);
    mqttBaseTopic->setPlaceholderText("tavo/<host name>");
    mqttDiscovery = AddCheckBox("Home Assistant discovery", "IDC_MQTT_DISCOVERY", 166, 95, 100, 10);

    AddLabel("announce calls with", 7, 115, 80, 8);
    announceWith = new QComboBox(this);
    announceWith->setObjectName("IDC_ANNOUNCE_WITH");
    announceWith->addItems({"the own popup", "a desktop notification", "both"});
    announceWith->setGeometry(Place(90, 113, 110, 60));

    AddLabel("command", 7, 133, 40, 8);
    program = AddEdit("IDC_COMMAND_PROGRAM", 50, 131, 204, 12);
    program->setPlaceholderText("run for each call, without a shell");
    AddLabel("arguments", 7, 148, 40, 8);
    arguments = AddEdit("IDC_COMMAND_ARGUMENTS", 50, 146, 134, 12);
    AddLabel("time-out (s)", 192, 148, 40, 8);
    timeout = AddEdit("IDC_COMMAND_TIMEOUT", 234, 146, 20, 12);
    AddLabel("The call's fields reach the command as TAVO_NUMBER, TAVO_NAME, ... variables.", 7,
             163, 250, 8);

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
    s.ncid.address = Text(ncidAddress);
    s.ncid.allow = Text(ncidAllow);
    if (!ReadNumber(ncidPort, 1, 65535, s.ncid.port) && s.ncid.enabled)
        problem = "The NCID port must be a number from 1 to 65535.";
    if (!ReadNumber(ncidReplay, 0, 10000, s.ncid.replay) && s.ncid.enabled)
        problem = "The NCID replay must be a number of calls from 0 to 10000.";
    s.mqtt.enabled = mqttBox->isChecked();
    s.mqtt.host = Text(mqttHost);
    if (!ReadNumber(mqttPort, 1, 65535, s.mqtt.port) && s.mqtt.enabled)
        problem = "The MQTT port must be a number from 1 to 65535.";
    if (s.mqtt.enabled && s.mqtt.host.empty())
        problem = "MQTT needs the broker's host.";
    s.mqtt.user = Text(mqttUser);
    s.mqtt.password = mqttPassword->text().toStdString();
    s.mqtt.caFile = Text(mqttCaFile);
    s.mqtt.baseTopic = Text(mqttBaseTopic);
    s.mqtt.discovery = mqttDiscovery->isChecked();
    s.notify.announceWith = static_cast<AnnounceWith>(announceWith->currentIndex());
    s.command.program = Text(program);
    s.command.arguments = Text(arguments);
    if (!ReadNumber(timeout, 1, 24 * 3600, s.command.timeoutSeconds) && !s.command.program.empty())
        problem = "The command's time-out must be a number of seconds from 1 to 86400.";
    return problem.isEmpty();
}

bool COptionNetwork::Validate() {
    if (!WasShown() || !context.outputSettings)
        return true;
    OutputSettings settings = *context.outputSettings;
    QString problem;
    if (Read(settings, problem))
        return true;
    if (context.dialogs.showWarning)
        context.dialogs.showWarning(this, problem);
    return false;
}

void COptionNetwork::OnOK() {
    if (!context.outputSettings)
        return;
    QString problem;
    Read(*context.outputSettings, problem);
}
