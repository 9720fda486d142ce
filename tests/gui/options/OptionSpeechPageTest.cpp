// The speech page: its own engine, the voice list, the sliders and what OK and Cancel leave.
#include "FakeSpeechBackend.h"
#include "OptionsFixture.h"
#include "gui/options/COptionTTS.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechModeId.h"

#include <QLabel>
#include <QListWidget>
#include <QSlider>

#include <algorithm>

namespace {

constexpr int speechPage = 3;

void StoreModeId(Settings& settings, const SpeechModeId& id) {
    std::copy(id.begin(), id.end(), settings.ttsModeId);
}

SpeechModeId ModeIdOf(const Settings& settings) {
    SpeechModeId id{};
    std::copy(std::begin(settings.ttsModeId), std::end(settings.ttsModeId), id.begin());
    return id;
}

} // namespace

class SpeechPage : public OptionsFixture {
protected:
    SpeechPage() {
        backend->voices = {FakeSpeechBackend::Voice("zeta", "Zeta", "en"),
                           FakeSpeechBackend::Voice("alpha", "Alpha", "en"),
                           FakeSpeechBackend::Voice("mid", "Mid", "en", false)};
        context.makeSpeechEngine = [this] {
            ++enginesMade;
            return std::make_unique<CSpeechEngine>(backend);
        };
    }
    void Open() {
        OpenSheet();
        ShowPage(speechPage);
    }
    QListWidget* Voices() { return Find<QListWidget>("IDC_ENGINE_LIST"); }
    QSlider* Slider(const char* name) { return Find<QSlider>(name); }
    QString Label(const char* name) { return Find<QLabel>(name)->text(); }
    const CSpeechEngine* PageEngine() {
        return static_cast<COptionTTS*>(sheet->Page(speechPage))->Engine();
    }

    std::shared_ptr<FakeSpeechBackend> backend = std::make_shared<FakeSpeechBackend>();
    int enginesMade = 0;
};

TEST_F(SpeechPage, ListsVoicesAlphabeticallyWithTheStoredOneSelected) {
    backend->voices.push_back(FakeSpeechBackend::Voice("lower", "beta", "en"));
    StoreModeId(*settings.Write(), ModeIdForVoice("mid"));
    Open();
    QListWidget* list = Voices();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), "Alpha");
    EXPECT_EQ(list->item(1)->text(), "beta") << "small letters sort with the capitals";
    EXPECT_EQ(list->item(2)->text(), "Mid (Can only speak specific words!)");
    EXPECT_EQ(list->item(3)->text(), "Zeta");
    ASSERT_NE(list->currentItem(), nullptr);
    EXPECT_EQ(list->currentItem()->text(), "Mid (Can only speak specific words!)");
    EXPECT_EQ(PageEngine()->GetSelectedModeId(), ModeIdForVoice("mid"));
    Voices()->setCurrentRow(0);
    EXPECT_EQ(PageEngine()->GetSelectedModeId(), ModeIdForVoice("alpha"));
    EXPECT_EQ(Find<QLineEdit>("IDC_TEST_TEXT")->text(), "Incoming call on %to% from %from%");
}

TEST_F(SpeechPage, VoiceNoLongerInstalledFallsBackToTheFirstMode) {
    StoreModeId(*settings.Write(), ModeIdForVoice("gone"));
    Open();
    ASSERT_NE(Voices()->currentItem(), nullptr);
    EXPECT_EQ(Voices()->currentItem()->text(), "Zeta");
    PressOk();
    EXPECT_EQ(ModeIdOf(settings.Copy()), ModeIdForVoice("zeta"));
}

TEST_F(SpeechPage, SlidersShowTheEngineRangesAndStoredValues) {
    settings.Write()->ttsSpeed = 300;
    settings.Write()->ttsPitch = 0; // never chosen: the voice keeps its own
    settings.Write()->ttsVolume = 40;
    Open();
    EXPECT_EQ(Slider("IDC_SPEED")->minimum(), 80);
    EXPECT_EQ(Slider("IDC_SPEED")->maximum(), 450);
    EXPECT_EQ(Slider("IDC_SPEED")->value(), 300);
    EXPECT_EQ(Label("IDC_SPEED_VALUE"), "300");
    EXPECT_EQ(Slider("IDC_PITCH")->minimum(), 0);
    EXPECT_EQ(Slider("IDC_PITCH")->maximum(), 100);
    EXPECT_EQ(Slider("IDC_PITCH")->value(), 50);
    EXPECT_EQ(Label("IDC_PITCH_VALUE"), "50");
    EXPECT_EQ(Slider("IDC_VOLUME")->maximum(), 100);
    EXPECT_EQ(Slider("IDC_VOLUME")->value(), 40);
    EXPECT_EQ(Label("IDC_VOLUME_VALUE"), "40");
}

TEST_F(SpeechPage, SlidersApplyAtOnceAndTestSpeaksTheTextAsItStands) {
    Open();
    Slider("IDC_SPEED")->setValue(200);
    Slider("IDC_PITCH")->setValue(70);
    Slider("IDC_VOLUME")->setValue(100);
    EXPECT_EQ(Label("IDC_SPEED_VALUE"), "200");
    EXPECT_EQ(Label("IDC_PITCH_VALUE"), "70");
    EXPECT_EQ(Label("IDC_VOLUME_VALUE"), "100");
    Click("IDC_TEST");
    ASSERT_EQ(backend->queued.size(), 1u);
    const Utterance& spoken = backend->queued[0].utterance;
    EXPECT_EQ(spoken.speed, 200);
    EXPECT_EQ(spoken.pitch, 70);
    EXPECT_EQ(spoken.volume, 100);
    EXPECT_NE(spoken.markup.find("%to%"), std::string::npos) << spoken.markup;
    EXPECT_NE(spoken.markup.find("%from%"), std::string::npos) << spoken.markup;
}

TEST_F(SpeechPage, OtherVoiceGetsTheStoredSpeedAndPitchNotTheSliders) {
    settings.Write()->ttsSpeed = 300;
    settings.Write()->ttsPitch = 20;
    StoreModeId(*settings.Write(), ModeIdForVoice("alpha"));
    Open();
    Slider("IDC_SPEED")->setValue(100);
    Slider("IDC_PITCH")->setValue(90);
    Voices()->setCurrentRow(2); // "Zeta"
    EXPECT_EQ(PageEngine()->GetSelectedModeId(), ModeIdForVoice("zeta"));
    EXPECT_EQ(Slider("IDC_SPEED")->value(), 300);
    EXPECT_EQ(Slider("IDC_PITCH")->value(), 20);
    EXPECT_EQ(Label("IDC_SPEED_VALUE"), "300");
    EXPECT_EQ(PageEngine()->GetSpeed(), 300);
}

TEST_F(SpeechPage, OkStoresVoiceAndSlidersAndReleasesTheEngine) {
    Open();
    Voices()->setCurrentRow(0); // "Alpha"
    Slider("IDC_SPEED")->setValue(250);
    Slider("IDC_PITCH")->setValue(10);
    Slider("IDC_VOLUME")->setValue(75);
    PressOk();
    EXPECT_EQ(ModeIdOf(settings.Copy()), ModeIdForVoice("alpha"));
    EXPECT_EQ(settings.Read()->ttsSpeed, 250);
    EXPECT_EQ(settings.Read()->ttsPitch, 10);
    EXPECT_EQ(settings.Read()->ttsVolume, 75);
    EXPECT_EQ(PageEngine(), nullptr);
}

TEST_F(SpeechPage, CancelStoresNothingAndReleasesTheEngine) {
    const Settings before = settings.Copy();
    Open();
    Voices()->setCurrentRow(0);
    Slider("IDC_VOLUME")->setValue(5);
    PressCancel();
    const Settings after = settings.Copy();
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
    EXPECT_EQ(PageEngine(), nullptr);
}

TEST_F(SpeechPage, NoEngineIsMadeUnlessThePageIsShown) {
    OpenSheet();
    ShowPage(4);
    PressOk();
    EXPECT_EQ(enginesMade, 0);
    EXPECT_EQ(settings.Read()->ttsVolume, 50);
}

TEST_F(SpeechPage, WithoutVoicesTheListIsEmptyAndOkStoresANullMode) {
    backend->voices.clear();
    StoreModeId(*settings.Write(), ModeIdForVoice("alpha"));
    Open();
    EXPECT_EQ(Voices()->count(), 0);
    Click("IDC_TEST");
    EXPECT_TRUE(backend->queued.empty());
    PressOk();
    EXPECT_TRUE(IsNullModeId(ModeIdOf(settings.Copy())));
}
