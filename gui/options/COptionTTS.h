#pragma once
// "speech": choosing the voice and its speed, pitch and volume, tried out on the page's own
// engine; the main window's engine takes the stored choice after OK.

#include "gui/options/COptionPage.h"
#include "speech/SpeechModeId.h"

#include <memory>

class CSpeechEngine;
class QListWidget;
class QPushButton;
class QSlider;

// The real engine over the system's synthesizer: what the page uses unless told otherwise.
std::unique_ptr<CSpeechEngine> MakeSystemSpeechEngine();

class COptionTTS : public COptionPage {
    Q_OBJECT
public:
    explicit COptionTTS(OptionsContext& context);
    ~COptionTTS() override;

    void OnOK() override;
    void OnCancel() override;

    // The page's own engine while the page is open; none before it is shown and after closing.
    const CSpeechEngine* Engine() const { return engine.get(); }

private:
    void OnInitDialog() override;
    // The steps of the first showing, in their order.
    void CreateControls();
    SpeechModeId OpenEngine(SpeechModeId chosen); // the voice in use afterwards
    void ShowVolume(int32_t storedVolume);
    void FillVoiceList(const SpeechModeId& chosen);
    void ConnectControls();
    void ApplySpeedAndPitch();
    void OnSelectionChanged();
    void OnSlider(QSlider* slider, QLabel* label);
    void OnTest();
    void ReleaseEngine();

    std::unique_ptr<CSpeechEngine> engine;
    QListWidget* voices = nullptr;
    QSlider* speed = nullptr;
    QSlider* pitch = nullptr;
    QSlider* volume = nullptr;
    QLabel* speedValue = nullptr;
    QLabel* pitchValue = nullptr;
    QLabel* volumeValue = nullptr;
    QLineEdit* testText = nullptr;
    QPushButton* testButton = nullptr;
};
