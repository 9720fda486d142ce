#include "speech/CSpeechEngine.h"
#include "FakeSpeechBackend.h"
#include "speech/SpeechSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

class SpeechEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        backend = std::make_shared<FakeSpeechBackend>();
        backend->voices = {FakeSpeechBackend::Voice("gmw/en", "English", "en"),
                           FakeSpeechBackend::Voice("gmw/de", "German", "de"),
                           FakeSpeechBackend::Voice("art/num", "Numbers", "xn", false)};
    }
    void TearDown() override { unsetenv("LC_ALL"); }

    CSpeechEngine& Ready() {
        engine = std::make_unique<CSpeechEngine>(backend);
        engine->CreateEnumerator();
        engine->EnumerateModes();
        return *engine;
    }

    std::shared_ptr<FakeSpeechBackend> backend;
    std::unique_ptr<CSpeechEngine> engine;
};

Settings StoredChoice(const SpeechModeId& id, int speed, int pitch, int volume) {
    Settings s;
    std::memset(&s, 0, sizeof s);
    std::copy(id.begin(), id.end(), s.ttsModeId);
    s.ttsSpeed = speed;
    s.ttsPitch = pitch;
    s.ttsVolume = volume;
    return s;
}

} // namespace

TEST_F(SpeechEngineTest, ListsVoicesAsModes) {
    CSpeechEngine& e = Ready();
    ASSERT_EQ(e.lastModeIndex, 2);
    EXPECT_EQ(e.GetModeName(0), "English");
    EXPECT_EQ(e.GetModeName(1), "German");
    EXPECT_EQ(e.GetModeName(2), "Numbers (Can only speak specific words!)");
    EXPECT_EQ(e.GetModeId(1), ModeIdForVoice("gmw/de"));
    // One past the end, and nonsense indexes, give the empty answers.
    EXPECT_EQ(e.GetModeName(3), "");
    EXPECT_EQ(e.GetModeName(-1), "");
    EXPECT_TRUE(IsNullModeId(e.GetModeId(3)));
    EXPECT_TRUE(IsNullModeId(e.GetModeId(-5)));
    EXPECT_TRUE(e.lastError.empty());
}

TEST_F(SpeechEngineTest, UserLanguageIsModeZeroAndTableKeepsFifty) {
    backend->voices.clear();
    for (int i = 0; i < 60; ++i)
        backend->voices.push_back(
            FakeSpeechBackend::Voice("v" + std::to_string(i), "V" + std::to_string(i), "xx"));
    backend->voices.push_back(FakeSpeechBackend::Voice("gmw/de", "German", "de"));
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    CSpeechEngine& e = Ready();
    EXPECT_EQ(e.lastModeIndex, 49);
    EXPECT_EQ(e.GetModeName(0), "German");
    EXPECT_EQ(e.GetModeName(1), "V0");
    EXPECT_EQ(e.GetModeName(49), "V48");
    EXPECT_EQ(e.GetModeName(50), "");
}

TEST_F(SpeechEngineTest, NoSynthesizer) {
    backend->startable = false;
    CSpeechEngine& e = Ready();
    EXPECT_EQ(e.lastError, "Error creating TTSEnumerator (CoCreateInstance)");
    EXPECT_EQ(e.lastModeIndex, -1);
    EXPECT_FALSE(e.EnumerateModes());
    EXPECT_FALSE(e.SelectMode(SpeechModeId{}));
    EXPECT_TRUE(e.Speak("hello"));
    EXPECT_TRUE(backend->queued.empty());
    EXPECT_FALSE(e.SetSpeed(200));
    EXPECT_FALSE(e.SetPitch(20));
    EXPECT_TRUE(e.SetVolume(50));
    EXPECT_EQ(e.GetSpeed(), -1);
    EXPECT_EQ(e.GetPitch(), 0);
    EXPECT_EQ(e.GetMaxSpeed(), -1);
    EXPECT_EQ(e.GetMinPitch(), -1);
    EXPECT_EQ(e.WaitUntilDone(std::chrono::milliseconds(0)), CSpeechEngine::Outcome::Spoken);
}

TEST_F(SpeechEngineTest, NoOutputLeavesNoVoice) {
    CSpeechEngine& e = Ready();
    ASSERT_TRUE(e.SelectMode(e.GetModeId(0)));
    backend->outputReady = false;
    EXPECT_FALSE(e.SelectMode(e.GetModeId(1)));
    EXPECT_EQ(e.lastError, "Error creating AudioDest Object(CoCreateInstance)");
    e.Speak("hello");
    EXPECT_TRUE(backend->queued.empty());
}

TEST_F(SpeechEngineTest, UnknownModeKeepsThePreviousVoice) {
    CSpeechEngine& e = Ready();
    ASSERT_TRUE(e.SelectMode(e.GetModeId(1)));
    e.SetSpeed(300);
    EXPECT_FALSE(e.SelectMode(ModeIdForVoice("not/installed")));
    EXPECT_FALSE(e.SelectMode(SpeechModeId{}));
    EXPECT_EQ(e.GetSelectedModeId(), ModeIdForVoice("gmw/de"));
    EXPECT_EQ(e.GetSpeed(), 300);
    e.Speak("Hallo");
    ASSERT_EQ(backend->queued.size(), 1u);
    EXPECT_EQ(backend->queued[0].utterance.voice, "gmw/de");
}

TEST_F(SpeechEngineTest, SelectedIdStartsNull) {
    CSpeechEngine& e = Ready();
    EXPECT_TRUE(IsNullModeId(e.GetSelectedModeId()));
    e.SelectMode(e.GetModeId(2));
    EXPECT_EQ(e.GetSelectedModeId(), ModeIdForVoice("art/num"));
}

TEST_F(SpeechEngineTest, SpeedAndPitchStayInTheEngineRange) {
    CSpeechEngine& e = Ready();
    ASSERT_TRUE(e.SelectMode(e.GetModeId(0)));
    // A fresh voice has the synthesizer's normal values.
    EXPECT_EQ(e.GetSpeed(), 175);
    EXPECT_EQ(e.GetPitch(), 50);
    EXPECT_EQ(e.GetMinSpeed(), 80);
    EXPECT_EQ(e.GetMaxSpeed(), 450);
    EXPECT_EQ(e.GetMinPitch(), 0);
    EXPECT_EQ(e.GetMaxPitch(), 100);
    // Probing puts the values back.
    EXPECT_EQ(e.GetSpeed(), 175);
    EXPECT_EQ(e.GetPitch(), 50);

    EXPECT_TRUE(e.SetSpeed(10));
    EXPECT_EQ(e.GetSpeed(), 80);
    EXPECT_TRUE(e.SetSpeed(-1)); // all 32 bits set: the fastest
    EXPECT_EQ(e.GetSpeed(), 450);
    EXPECT_TRUE(e.SetPitch(0x10000 + 30)); // only the low 16 bits count
    EXPECT_EQ(e.GetPitch(), 30);
    EXPECT_TRUE(e.SetPitch(-1));
    EXPECT_EQ(e.GetPitch(), 100);

    // Another voice starts again from the normal values.
    e.SelectMode(e.GetModeId(1));
    EXPECT_EQ(e.GetSpeed(), 175);
    EXPECT_EQ(e.GetPitch(), 50);
}

TEST(SpeechVolume, SixteenBitConversion) {
    EXPECT_EQ(VolumeValueForPercent(100), 65535u);
    EXPECT_EQ(VolumeValueForPercent(50), 32639u);
    EXPECT_EQ(VolumeValueForPercent(1), 514u);
    EXPECT_EQ(VolumeValueForPercent(0), 0u);
    EXPECT_EQ(VolumeValueForPercent(150), 65535u);
    EXPECT_EQ(VolumeValueForPercent(-3), 0u);
    EXPECT_EQ(EngineVolumeForValue(65535, 100), 100);
    EXPECT_EQ(EngineVolumeForValue(32639, 100), 50);
    EXPECT_EQ(EngineVolumeForValue(514, 100), 1);
    EXPECT_EQ(EngineVolumeForValue(0, 100), 0);
}

TEST_F(SpeechEngineTest, VolumeReachesTheUtteranceAndSurvivesAVoiceChange) {
    CSpeechEngine& e = Ready();
    e.SelectMode(e.GetModeId(0));
    EXPECT_EQ(e.GetVolume(), 100);
    e.SetVolume(50);
    e.SelectMode(e.GetModeId(1));
    e.Speak("x");
    ASSERT_EQ(backend->queued.size(), 1u);
    EXPECT_EQ(backend->queued[0].utterance.volume, 50);
}

TEST_F(SpeechEngineTest, SpeakQueuesMarkupAndDoesNotWait) {
    CSpeechEngine& e = Ready();
    e.SelectMode(e.GetModeId(0));
    e.SetSpeed(200);
    e.SetPitch(40);
    // The fake never finishes on its own: Speak must come back anyway.
    EXPECT_TRUE(e.Speak("from 0 1 2 \\Pau=500\\3 4 & more"));
    ASSERT_EQ(backend->queued.size(), 1u);
    const Utterance& u = backend->queued[0].utterance;
    EXPECT_EQ(u.markup, "from 0 1 2 <break time=\"500ms\"/>3 4 &amp; more");
    EXPECT_EQ(u.speed, 200);
    EXPECT_EQ(u.pitch, 40);
    EXPECT_EQ(backend->queued[0].sink, nullptr);
    EXPECT_EQ(e.WaitUntilDone(std::chrono::milliseconds(1)), CSpeechEngine::Outcome::TimedOut);
    backend->queued[0].done->set_value(false);
    EXPECT_EQ(e.WaitUntilDone(std::chrono::milliseconds(1)), CSpeechEngine::Outcome::NotSpoken);
}

// The options page tries voices on its own engine while the main window's keeps announcing.
TEST_F(SpeechEngineTest, TwoEnginesKeepTheirOwnChoice) {
    CSpeechEngine& main = Ready();
    main.SelectMode(main.GetModeId(0));
    main.SetSpeed(120);
    CSpeechEngine page(backend);
    page.CreateEnumerator();
    page.EnumerateModes();
    page.SelectMode(page.GetModeId(1));
    page.SetSpeed(400);
    main.Speak("a");
    page.Speak("b");
    ASSERT_EQ(backend->queued.size(), 2u);
    EXPECT_EQ(backend->queued[0].utterance.voice, "gmw/en");
    EXPECT_EQ(backend->queued[0].utterance.speed, 120);
    EXPECT_EQ(backend->queued[1].utterance.voice, "gmw/de");
    EXPECT_EQ(backend->queued[1].utterance.speed, 400);
}

TEST_F(SpeechEngineTest, ReleasedEngineSpeaksNoMore) {
    CSpeechEngine& e = Ready();
    e.SelectMode(e.GetModeId(0));
    e.ReleaseEngine();
    e.Speak("x");
    EXPECT_TRUE(backend->queued.empty());
    EXPECT_FALSE(e.SetSpeed(100));
}

TEST_F(SpeechEngineTest, StartUpWithTheStoredMode) {
    CSpeechEngine& e = Ready();
    ApplyStoredSpeechSettings(e, StoredChoice(ModeIdForVoice("gmw/de"), 300, 20, 50));
    EXPECT_EQ(e.GetSelectedModeId(), ModeIdForVoice("gmw/de"));
    EXPECT_EQ(e.GetSpeed(), 300);
    EXPECT_EQ(e.GetPitch(), 20);
    EXPECT_EQ(e.GetVolume(), 50);
}

TEST_F(SpeechEngineTest, StartUpFallsBackToModeZeroWithoutStoredSpeedAndPitch) {
    for (const SpeechModeId& stored : {SpeechModeId{}, ModeIdForVoice("gone/voice")}) {
        CSpeechEngine& e = Ready();
        ApplyStoredSpeechSettings(e, StoredChoice(stored, 300, 20, 1));
        EXPECT_EQ(e.GetSelectedModeId(), e.GetModeId(0));
        EXPECT_EQ(e.GetSpeed(), 175);
        EXPECT_EQ(e.GetPitch(), 50);
        EXPECT_EQ(e.GetVolume(), 1);
    }
}

TEST_F(SpeechEngineTest, AfterTheOptionsThereIsNoFallback) {
    CSpeechEngine& e = Ready();
    e.SelectMode(e.GetModeId(1));
    ApplyChangedSpeechSettings(e, StoredChoice(ModeIdForVoice("gone/voice"), 300, 20, 0));
    EXPECT_EQ(e.GetSelectedModeId(), ModeIdForVoice("gmw/de"));
    EXPECT_EQ(e.GetSpeed(), 300);
    EXPECT_EQ(e.GetPitch(), 20);
    EXPECT_EQ(e.GetVolume(), 0);
}
