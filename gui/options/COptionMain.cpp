#include "gui/options/COptionMain.h"

#include "gui/ResourceIds.h"
#include "gui/options/COptionIds.h"
#include "gui/options/COptionValues.h"

#include <cmath>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>


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
    : COptionPage(context, QT_TRANSLATE_NOOP("COptionPage", "main"), OptionIds::MainPage) {
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
    startMinimizedBox = MakeCheckBox(tr("start &minimize"), Ids::OptStartMinimized.objectName);
    hideWhenMinimizedBox = MakeCheckBox(tr("do not show in &tasklist when minimized"),
                                        Ids::OptHideWhenMinimized.objectName);
    systemBeepBox = MakeCheckBox(tr("system &beep"), Ids::OptSystemBeep.objectName);
    playSoundBox = MakeCheckBox(tr("&play sound"), Ids::OptPlaySound.objectName);
    speakBox = MakeCheckBox(tr("spea&k"), Ids::OptSpeak.objectName);
    onlyNamedMsnsBox =
        MakeCheckBox(tr("only MSNs with &names"), Ids::OptOnlyNamedMsns.objectName);

    displaySecondsBox = MakeEdit(Ids::OptDisplaySeconds.objectName);
    displaySecondsBox->setFixedWidth(CharactersWide(5));
    QLabel* displayLabel = MakeLabel(tr("&display time"), displaySecondsBox);
    QLabel* secondsLabel = MakeLabel(tr("sec. ( 0 = disable popup window )"));

    speakTemplateBox = MakeEdit(Ids::OptSpeakTemplate.objectName);
    QLabel* speakLabel = MakeLabel(tr("speak te&xt"), speakTemplateBox);
    unknownSpeakTextBox = MakeEdit(Ids::OptUnknownSpeakText.objectName);
    unknownSpeakTextBox->setAccessibleName(tr("speak text of unknown callers"));
    unknownSpeakTextBox->setFixedWidth(CharactersWide(24));
    // The record holds 127 and 31 characters; a longer text cannot be typed at all.
    speakTemplateBox->setMaxLength(int(sizeof(Settings::speakTemplate) - 1));
    unknownSpeakTextBox->setMaxLength(int(sizeof(Settings::unknownSpeakText) - 1));

    auto* group = new QGroupBox(tr("font"), this);
    group->setObjectName(OptionIds::FontGroup);
    fontLabel = new QLabel(group);
    fontLabel->setObjectName(Ids::OptFontLabel.objectName);
    QPushButton* select = new QPushButton(tr("s&elect..."), group);
    select->setObjectName(Ids::OptFontSelect.objectName);
    select->setAccessibleDescription(tr("the popup's font"));
    connect(select, &QPushButton::clicked, this, [this] { OnSelectFont(); });
    auto* fontRow = new QHBoxLayout(group);
    fontRow->addWidget(fontLabel, 1);
    fontRow->addWidget(select);

    auto* page = new QVBoxLayout(this);
    for (QCheckBox* box : {startMinimizedBox, hideWhenMinimizedBox, systemBeepBox, playSoundBox,
                           speakBox, onlyNamedMsnsBox})
        page->addWidget(box);
    page->addSpacing(CharactersWide(1));
    auto* boxes = new QGridLayout;
    boxes->addWidget(displayLabel, 0, 0);
    auto* secondsRow = new QHBoxLayout;
    secondsRow->addWidget(displaySecondsBox);
    secondsRow->addWidget(secondsLabel);
    secondsRow->addStretch(1);
    boxes->addLayout(secondsRow, 0, 1);
    boxes->addWidget(speakLabel, 1, 0);
    boxes->addWidget(speakTemplateBox, 1, 1);
    boxes->addWidget(unknownSpeakTextBox, 2, 1, Qt::AlignLeft);
    page->addLayout(boxes);
    page->addWidget(group);
    page->addStretch(1);

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
        fontSize = int32_t(std::lround(chosen->pointSizeF() * 10));
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
        context.dialogs.showWarning(this, tr(refusal->c_str()));
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
