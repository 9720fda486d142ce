#include "gui/options/COptionMain.h"

#include "gui/ResourceIds.h"
#include "gui/options/COptionIds.h"
#include "gui/options/COptionValues.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>


namespace {

// The face names the record keeps: 63 characters and the terminator.
constexpr size_t fontNameWidth = sizeof(Settings::fontName) - 1;

void SetTicked(QCheckBox* box, int32_t flag) {
    box->setChecked(flag != 0);
}
int32_t Ticked(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

} // namespace

COptionMain::COptionMain(OptionsContext& context)
    : COptionPage(context, "main", OptionIds::MainPage) {
    const auto settings = context.settings.Read();
    const Settings& s = *settings;
    hideWhenMinimized = s.hideWhenMinimized;
    startMinimized = s.startMinimized;
    systemBeep = s.systemBeep;
    displaySeconds = s.displaySeconds;
    playSound = s.playSound;
    speak = s.speak;
    onlyNamedMsns = s.onlyNamedMsns;
    speakTemplate = FieldText(s.speakTemplate);
    unknownSpeakText = FieldText(s.unknownSpeakText);
}

void COptionMain::OnInitDialog() {
    {
        const auto settings = context.settings.Read();
        fontName = FieldText(settings->fontName);
        fontSize = settings->fontSize;
    }
    startMinimizedBox =
        AddCheckBox("start minimize", Ids::OptStartMinimized.objectName, 7, 7, 200, 10);
    hideWhenMinimizedBox = AddCheckBox("do not show in tasklist when minimized",
                                       Ids::OptHideWhenMinimized.objectName, 7, 20, 200, 10);
    systemBeepBox = AddCheckBox("system beep", Ids::OptSystemBeep.objectName, 7, 33, 200, 10);
    playSoundBox = AddCheckBox("play sound", Ids::OptPlaySound.objectName, 7, 46, 200, 10);
    speakBox = AddCheckBox("speak", Ids::OptSpeak.objectName, 7, 59, 200, 10);
    onlyNamedMsnsBox =
        AddCheckBox("only MSNs with names", Ids::OptOnlyNamedMsns.objectName, 7, 72, 200, 10);

    AddLabel("display time", 7, 90, 50, 8);
    displaySecondsBox = AddEdit(Ids::OptDisplaySeconds.objectName, 60, 88, 24, 13);
    AddLabel("sec. ( 0 = disable popup window )", 90, 90, 170, 8);

    AddLabel("speak text", 7, 108, 50, 8);
    speakTemplateBox = AddEdit(Ids::OptSpeakTemplate.objectName, 60, 106, 203, 13);
    unknownSpeakTextBox = AddEdit(Ids::OptUnknownSpeakText.objectName, 60, 122, 100, 13);
    // The record holds 127 and 31 characters; a longer text cannot be typed at all.
    speakTemplateBox->setMaxLength(int(sizeof(Settings::speakTemplate) - 1));
    unknownSpeakTextBox->setMaxLength(int(sizeof(Settings::unknownSpeakText) - 1));

    auto* group = new QGroupBox("font", this);
    group->setObjectName(OptionIds::FontGroup);
    group->setGeometry(Place(7, 140, 256, 34));
    group->lower();
    fontLabel = AddLabel(QString(), 15, 155, 170, 10);
    fontLabel->setObjectName(Ids::OptFontLabel.objectName);
    QPushButton* select = AddButton("select...", Ids::OptFontSelect.objectName, 205, 152, 50, 14);
    connect(select, &QPushButton::clicked, this, [this] { OnSelectFont(); });

    SetTicked(startMinimizedBox, startMinimized);
    SetTicked(hideWhenMinimizedBox, hideWhenMinimized);
    SetTicked(systemBeepBox, systemBeep);
    SetTicked(playSoundBox, playSound);
    SetTicked(speakBox, speak);
    SetTicked(onlyNamedMsnsBox, onlyNamedMsns);
    displaySecondsBox->setText(QString::number(displaySeconds));
    speakTemplateBox->setText(FromRecordText(speakTemplate));
    unknownSpeakTextBox->setText(FromRecordText(unknownSpeakText));
    fontLabel->setText(FromRecordText(FontLabelText(fontSize, fontName)));
}

void COptionMain::OnSelectFont() {
    // Each press starts from what was chosen so far on this page, not from the record.
    QFont initial(FromRecordText(fontName));
    if (fontSize > 0)
        initial.setPointSizeF(fontSize / 10.0);
    if (!context.dialogs.chooseFont)
        return;
    const std::optional<QFont> chosen = context.dialogs.chooseFont(this, initial);
    if (!chosen)
        return;
    if (chosen->pointSizeF() > 0)
        fontSize = int32_t(chosen->pointSizeF() * 10 + 0.5);
    fontName = ToRecordText(chosen->family()).substr(0, fontNameWidth);
    fontLabel->setText(FromRecordText(FontLabelText(fontSize, fontName)));
}

bool COptionMain::Validate() {
    int32_t seconds = 0;
    const std::optional<std::string> refusal =
        CheckDisplaySeconds(ToRecordText(displaySecondsBox->text()), seconds);
    if (!refusal) {
        displaySeconds = seconds;
        return true;
    }
    if (context.dialogs.showWarning)
        context.dialogs.showWarning(this, FromRecordText(*refusal));
    displaySecondsBox->setFocus();
    displaySecondsBox->selectAll();
    return false;
}

void COptionMain::OnOK() {
    hideWhenMinimized = Ticked(hideWhenMinimizedBox);
    startMinimized = Ticked(startMinimizedBox);
    systemBeep = Ticked(systemBeepBox);
    onlyNamedMsns = Ticked(onlyNamedMsnsBox);
    playSound = Ticked(playSoundBox);
    speak = Ticked(speakBox);
    speakTemplate = ToRecordText(speakTemplateBox->text());
    unknownSpeakText = ToRecordText(unknownSpeakTextBox->text());
    // The sheet validated the page before; a page left behind was validated when it was left.
    int32_t seconds = 0;
    if (!CheckDisplaySeconds(ToRecordText(displaySecondsBox->text()), seconds))
        displaySeconds = seconds;

    const auto settings = context.settings.Write();
    Settings& s = *settings;
    s.hideWhenMinimized = hideWhenMinimized;
    s.startMinimized = startMinimized;
    s.systemBeep = systemBeep;
    s.onlyNamedMsns = onlyNamedMsns;
    s.displaySeconds = displaySeconds;
    s.fontSize = fontSize;
    StoreText(s.fontName, fontName);
    s.playSound = playSound;
    s.speak = speak;
    StoreText(s.speakTemplate, speakTemplate);
    StoreText(s.unknownSpeakText, unknownSpeakText);
}
