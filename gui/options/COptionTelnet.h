#pragma once
// "telnet": switching the server on and off, its port and the logon.

#include "gui/options/COptionPage.h"

class COptionTelnet : public COptionPage {
    Q_OBJECT
public:
    explicit COptionTelnet(OptionsContext& context);

    void OnOK() override;

private:
    void OnInitDialog() override;
    void EnableBoxes();

    QCheckBox* enabledBox = nullptr;
    QLineEdit* portBox = nullptr;
    QLineEdit* userIdBox = nullptr;
    QLineEdit* passwordBox = nullptr;
};
