#include "COptionTTS.h"

#include "COptionIds.h"
#include "COptionValues.h"
#include "ResourceIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>

#include <mutex>

#if __has_include("CSpeechEngine.h")
#include "CSpeechEngine.h"
#else
class CSpeechEngine {}; // TEMPORARY until the speech library lands
#endif

COptionTTS::COptionTTS(OptionsContext& context)
    : COptionPage(context, "speech", OptionIds::SpeechPage) {}

COptionTTS::~COptionTTS() {
    ReleaseEngine();
}

namespace {

QSlider* MakeSlider(QWidget* parent, const ResourceId& id, const QRect& where) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(id.objectName);
    slider->setGeometry(where);
    return slider;
}

} // namespace

void COptionTTS::OnInitDialog() {
    AddLabel("available text-to-speech engines", 7, 7, 200, 8);
    voices = new QListWidget(this);
    voices->setObjectName(Ids::OptEngineList.objectName);
    voices->setGeometry(Place(7, 18, 256, 64));
    voices->setSortingEnabled(true);

    AddLabel("speed", 7, 92, 40, 8);
    speed = MakeSlider(this, Ids::OptSpeed, Place(50, 89, 180, 14));
    speedValue = AddLabel(QString(), 235, 92, 30, 8);
    speedValue->setObjectName(Ids::OptSpeedValue.objectName);
    AddLabel("pitch", 7, 110, 40, 8);
    pitch = MakeSlider(this, Ids::OptPitch, Place(50, 107, 180, 14));
    pitchValue = AddLabel(QString(), 235, 110, 30, 8);
    pitchValue->setObjectName(Ids::OptPitchValue.objectName);
    AddLabel("volume", 7, 128, 40, 8);
    volume = MakeSlider(this, Ids::OptVolume, Place(50, 125, 180, 14));
    volumeValue = AddLabel(QString(), 235, 128, 30, 8);
    volumeValue->setObjectName(Ids::OptVolumeValue.objectName);

    testText = AddEdit(Ids::OptTestText.objectName, 7, 150, 200, 13);
    QPushButton* test = AddButton("Test", Ids::OptTest.objectName, 213, 149, 50, 14);

    volume->setRange(0, 100);
    {
        std::lock_guard lock(SettingsMutex());
        volume->setValue(context.settings.ttsVolume);
        testText->setText(FromRecordText(FieldText(context.settings.speakTemplate)));
    }
    volumeValue->setText(QString::number(volume->value()));

    connect(speed, &QSlider::valueChanged, this, [this] { OnSlider(speed, speedValue); });
    connect(pitch, &QSlider::valueChanged, this, [this] { OnSlider(pitch, pitchValue); });
    connect(volume, &QSlider::valueChanged, this, [this] { OnSlider(volume, volumeValue); });
    connect(voices, &QListWidget::itemSelectionChanged, this, [this] { OnSelectionChanged(); });
    connect(test, &QPushButton::clicked, this, [this] { OnTest(); });
}

void COptionTTS::ApplySpeedAndPitch() {}

void COptionTTS::OnSelectionChanged() {}

void COptionTTS::OnSlider(QSlider* slider, QLabel* label) {
    label->setText(QString::number(slider->value()));
}

void COptionTTS::OnTest() {}

void COptionTTS::OnOK() {
    std::lock_guard lock(SettingsMutex());
    context.settings.ttsPitch = pitch->value();
    context.settings.ttsSpeed = speed->value();
    context.settings.ttsVolume = volume->value();
}

void COptionTTS::OnCancel() {
    ReleaseEngine();
}

void COptionTTS::ReleaseEngine() {}
