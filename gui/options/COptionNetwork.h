#pragma once
// "network": the outputs of tavo.conf: the NCID server, MQTT, how calls are announced (own
// popup, desktop notification or both) and a command per call. Switched on and off without a
// restart once the sheet is confirmed.

#include "gui/options/COptionPage.h"
#include "settings/TavoConf.h"

class QComboBox;

class COptionNetwork : public COptionPage {
    Q_OBJECT
public:
    explicit COptionNetwork(OptionsContext& context);

    bool Validate() override;
    void OnOK() override;

private:
    void OnInitDialog() override;
    void EnableBoxes();
    // The page's values; false with `problem` set when one is refused.
    bool Read(OutputSettings& settings, QString& problem) const;

    QCheckBox* ncidBox = nullptr;
    QLineEdit* ncidAddress = nullptr;
    QLineEdit* ncidPort = nullptr;
    QLineEdit* ncidAllow = nullptr;
    QLineEdit* ncidReplay = nullptr;
    QCheckBox* mqttBox = nullptr;
    QLineEdit* mqttHost = nullptr;
    QLineEdit* mqttPort = nullptr;
    QLineEdit* mqttUser = nullptr;
    QLineEdit* mqttPassword = nullptr;
    QLineEdit* mqttCaFile = nullptr;
    QLineEdit* mqttBaseTopic = nullptr;
    QCheckBox* mqttDiscovery = nullptr;
    QComboBox* announceWith = nullptr;
    QLineEdit* program = nullptr;
    QLineEdit* arguments = nullptr;
    QLineEdit* timeout = nullptr;
};
