#pragma once
// "rules": the screening rules file as text, checked as `tavo rules check` checks it. A text
// with faults is never saved: the page is not left and the sheet not closed with OK until it
// is mended (or Cancel throws the changes away), and the faults are listed with their lines.

#include "gui/options/COptionPage.h"

#include <string>

class QListWidget;
class QPlainTextEdit;

class COptionRules : public COptionPage {
    Q_OBJECT
public:
    explicit COptionRules(OptionsContext& context);

    bool Validate() override;
    void OnOK() override;

private:
    void OnInitDialog() override;
    // Checks the text as it stands and lists its faults; true when it has none.
    bool Check();
    void GoToFault();

    QPlainTextEdit* rulesBox = nullptr;
    QListWidget* faultsBox = nullptr;
    QLabel* stateLabel = nullptr;
    QPushButton* checkButton = nullptr;
    std::string loaded;    // the file's text as read; the page saves only a changed text
    bool readable = true;  // false: the file is there but could not be read, and stays as it is
};
