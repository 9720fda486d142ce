#pragma once
// "main": the check boxes, the popup time and font, and the two speak texts.

#include "gui/options/COptionPage.h"

#include <string>

class COptionMain : public COptionPage {
    Q_OBJECT
public:
    explicit COptionMain(OptionsContext& context);

    bool Validate() override;
    void OnOK() override;

private:
    void OnInitDialog() override;
    void OnSelectFont();

    // Copies taken when the sheet is opened.
    int32_t hideWhenMinimized;
    int32_t startMinimized;
    int32_t systemBeep;
    int32_t displaySeconds;
    int32_t playSound;
    int32_t speak;
    int32_t onlyNamedMsns;
    std::string speakTemplate;
    std::string unknownSpeakText;
    // Taken when the page is first shown, changed by the font dialog.
    std::string fontName;
    int32_t fontSize = 0;

    QCheckBox* startMinimizedBox = nullptr;
    QCheckBox* hideWhenMinimizedBox = nullptr;
    QCheckBox* systemBeepBox = nullptr;
    QCheckBox* playSoundBox = nullptr;
    QCheckBox* speakBox = nullptr;
    QCheckBox* onlyNamedMsnsBox = nullptr;
    QLineEdit* displaySecondsBox = nullptr;
    QLineEdit* speakTemplateBox = nullptr;
    QLineEdit* unknownSpeakTextBox = nullptr;
    QLabel* fontLabel = nullptr;
};
