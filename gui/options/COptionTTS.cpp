#include "gui/options/COptionTTS.h"

#include "gui/ResourceIds.h"
#include "gui/options/COptionIds.h"
#include "gui/options/COptionValues.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechSettings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QSlider* MakeSlider(QWidget* parent, const ResourceId& id) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(id.objectName);
    return slider;
}

// The list shows names in alphabetical order; each row remembers its place in the mode table.
constexpr int modeIndexRole = Qt::UserRole;

// Alphabetical as a reader expects it: capitals and small letters alike.
class VoiceRow : public QListWidgetItem {
public:
    explicit VoiceRow(const QString& name) : QListWidgetItem(name) {}
    bool operator<(const QListWidgetItem& other) const override {
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

std::unique_ptr<CSpeechEngine> MakeSystemSpeechEngine() {
    return std::make_unique<CSpeechEngine>();
}

std::function<std::unique_ptr<CSpeechEngine>()> SystemSpeechEngineMaker() {
    return MakeSystemSpeechEngine;
}

COptionTTS::COptionTTS(OptionsContext& context)
    : COptionPage(context, QT_TRANSLATE_NOOP("COptionPage", "speech"), OptionIds::SpeechPage) {}

COptionTTS::~COptionTTS() {
    ReleaseEngine();
}

void COptionTTS::OnInitDialog() {
    CreateControls();
    SpeechModeId chosen{};
    int32_t storedVolume = 0;
    std::string speakTemplate;
    {
        const auto settings = context.settings.Read();
        chosen = StoredModeId(*settings);
        storedVolume = settings->ttsVolume;
        speakTemplate = FieldText(settings->speakTemplate);
    }
    chosen = OpenEngine(chosen);
    ShowVolume(storedVolume);
    ApplySpeedAndPitch();
    FillVoiceList(chosen);
    testText->setText(FromRecordText(speakTemplate));
    ConnectControls();
}

void COptionTTS::CreateControls() {
    voices = new QListWidget(this);
    voices->setObjectName(Ids::OptEngineList.objectName);
    voices->setSortingEnabled(true);
    QLabel* voicesLabel = MakeLabel(tr("available text-to-speech &engines"), voices);

    auto* page = new QVBoxLayout(this);
    page->addWidget(voicesLabel);
    page->addWidget(voices, 1);
    auto* sliders = new QGridLayout;
    auto addSlider = [&](const QString& text, const ResourceId& id, const ResourceId& valueId,
                         QLabel*& value) {
        QSlider* slider = MakeSlider(this, id);
        value = MakeLabel(QString());
        value->setObjectName(valueId.objectName);
        // Room for the widest value, so the slider keeps its length as the number changes.
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("-0000")));
        const int row = sliders->rowCount();
        sliders->addWidget(MakeLabel(text, slider), row, 0);
        sliders->addWidget(slider, row, 1);
        sliders->addWidget(value, row, 2);
        return slider;
    };
    speed = addSlider(tr("s&peed"), Ids::OptSpeed, Ids::OptSpeedValue, speedValue);
    pitch = addSlider(tr("p&itch"), Ids::OptPitch, Ids::OptPitchValue, pitchValue);
    volume = addSlider(tr("&volume"), Ids::OptVolume, Ids::OptVolumeValue, volumeValue);
    page->addLayout(sliders);

    testText = MakeEdit(Ids::OptTestText.objectName);
    testText->setAccessibleName(tr("text to try the voice with"));
    testButton = MakeButton(tr("&Test"), Ids::OptTest.objectName);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(testText, 1);
    testRow->addWidget(testButton);
    page->addLayout(testRow);
}

SpeechModeId COptionTTS::OpenEngine(SpeechModeId chosen) {
    if (context.makeSpeechEngine)
        engine = context.makeSpeechEngine();
    if (!engine)
        return chosen;
    engine->CreateEnumerator();
    engine->EnumerateModes();
    // A stored voice that is gone gives way to the first one.
    if (!engine->SelectMode(chosen)) {
        engine->SelectMode(engine->GetModeId(0));
        chosen = engine->GetModeId(0);
    }
    return chosen;
}

void COptionTTS::ShowVolume(int32_t storedVolume) {
    {
        const QSignalBlocker blocker(volume);
        volume->setRange(0, 100);
        volume->setValue(storedVolume);
    }
    volumeValue->setText(QString::number(volume->value()));
    if (engine)
        engine->SetVolume(volume->value());
}

void COptionTTS::FillVoiceList(const SpeechModeId& chosen) {
    if (!engine)
        return;
    const QSignalBlocker blocker(voices);
    for (int index = 0;; ++index) {
        const std::string name = engine->GetModeName(index);
        if (name.empty())
            break;
        // Made whole before it joins the list, so the list sorts it by this order.
        auto* row = new VoiceRow(FromRecordText(name));
        row->setData(modeIndexRole, index);
        voices->addItem(row);
        if (engine->GetModeId(index) == chosen)
            voices->setCurrentItem(row);
    }
}

void COptionTTS::ConnectControls() {
    connect(speed, &QSlider::valueChanged, this, [this] { OnSlider(speed, speedValue); });
    connect(pitch, &QSlider::valueChanged, this, [this] { OnSlider(pitch, pitchValue); });
    connect(volume, &QSlider::valueChanged, this, [this] { OnSlider(volume, volumeValue); });
    connect(voices, &QListWidget::itemSelectionChanged, this, [this] { OnSelectionChanged(); });
    connect(testButton, &QPushButton::clicked, this, [this] { OnTest(); });
}

void COptionTTS::ApplySpeedAndPitch() {
    int32_t storedSpeed = 0;
    int32_t storedPitch = 0;
    {
        const auto settings = context.settings.Read();
        storedSpeed = settings->ttsSpeed;
        storedPitch = settings->ttsPitch;
    }
    // Zero means the user never chose a value: the voice keeps its own.
    if (engine && storedSpeed != 0)
        engine->SetSpeed(storedSpeed);
    if (engine && storedPitch != 0)
        engine->SetPitch(storedPitch);
    const int minSpeed = engine ? engine->GetMinSpeed() : 0;
    const int maxSpeed = engine ? engine->GetMaxSpeed() : 0;
    const int minPitch = engine ? engine->GetMinPitch() : 0;
    const int maxPitch = engine ? engine->GetMaxPitch() : 0;
    {
        const QSignalBlocker speedBlocker(speed);
        const QSignalBlocker pitchBlocker(pitch);
        speed->setRange(minSpeed, std::max(minSpeed, maxSpeed));
        pitch->setRange(minPitch, std::max(minPitch, maxPitch));
        speed->setValue(engine ? engine->GetSpeed() : 0);
        pitch->setValue(engine ? engine->GetPitch() : 0);
    }
    speedValue->setText(QString::number(speed->value()));
    pitchValue->setText(QString::number(pitch->value()));
    if (engine) {
        engine->SetSpeed(speed->value());
        engine->SetPitch(pitch->value());
    }
}

void COptionTTS::OnSelectionChanged() {
    const QList<QListWidgetItem*> selected = voices->selectedItems();
    if (selected.isEmpty() || !engine)
        return;
    engine->SelectMode(engine->GetModeId(selected.first()->data(modeIndexRole).toInt()));
    // The new voice gets the stored speed and pitch, not the positions tried on the old one.
    ApplySpeedAndPitch();
}

void COptionTTS::OnSlider(QSlider* slider, QLabel* label) {
    label->setText(QString::number(slider->value()));
    if (!engine)
        return;
    if (slider == speed)
        engine->SetSpeed(slider->value());
    else if (slider == pitch)
        engine->SetPitch(slider->value());
    else
        engine->SetVolume(slider->value());
}

void COptionTTS::OnTest() {
    // The placeholders stay as they are: the user hears the template itself.
    if (engine)
        engine->Speak(ToRecordText(testText->text()));
}

void COptionTTS::OnOK() {
    const SpeechModeId id = engine ? engine->GetSelectedModeId() : SpeechModeId{};
    {
        const auto settings = context.settings.Write();
        Settings& s = *settings;
        std::copy(id.begin(), id.end(), s.ttsModeId);
        s.ttsPitch = pitch->value();
        s.ttsSpeed = speed->value();
        s.ttsVolume = volume->value();
    }
    ReleaseEngine();
}

void COptionTTS::OnCancel() {
    ReleaseEngine();
}

void COptionTTS::ReleaseEngine() {
    if (!engine)
        return;
    engine->ReleaseEngine();
    engine.reset();
}
