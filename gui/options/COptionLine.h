#pragma once
// "line": where calls come from (tavo.conf's [line] sources): the CAPI line, the router's
// call-monitor feed and a PBX's manager interface, with where each is reached. Once the sheet
// is confirmed the monitor opens the chosen lines without a restart, unless the command line
// chose them (the page then says so).

#include "gui/options/COptionPage.h"
#include "settings/LineSettings.h"

class COptionLine : public COptionPage {
    Q_OBJECT
public:
    explicit COptionLine(OptionsContext& context);

    bool Validate() override;
    void OnOK() override;

private:
    void OnInitDialog() override;
    void EnableBoxes();
    // The page's values over `settings`; false with `problem` set when one is refused.
    bool Read(LineSettings& settings, QString& problem) const;

    QCheckBox* capiBox = nullptr;
    QCheckBox* simBox = nullptr; // shown only when tavo.conf names the simulated line
    QCheckBox* feedBox = nullptr;
    QLineEdit* feedHost = nullptr;
    QLineEdit* feedPort = nullptr;
    QCheckBox* amiBox = nullptr;
    QLineEdit* amiHost = nullptr;
    QLineEdit* amiPort = nullptr;
    QLineEdit* amiUser = nullptr;
    QLineEdit* amiSecret = nullptr;
    QLineEdit* amiContext = nullptr;
};
