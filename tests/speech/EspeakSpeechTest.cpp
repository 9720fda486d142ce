// The real synthesizer, measured through WAV files.

#include "WavReader.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechSettings.h"
#include "speech/WavFileSink.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr auto Patience = std::chrono::seconds(60);
// espeak-ng writes 16-bit samples; its quietest speech stays far above this.
constexpr int QuietThreshold = 200;

class EspeakTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        dir = std::filesystem::temp_directory_path() /
              ("tavo-speech-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        engine.CreateEnumerator();
        engine.EnumerateModes();
        ASSERT_GE(engine.lastModeIndex, 0) << "espeak-ng lists no voice";
        ASSERT_TRUE(engine.SelectMode(engine.GetModeId(0)));
    }
    void TearDown() override {
        unsetenv("LC_ALL");
        engine.ReleaseEngine();
        std::filesystem::remove_all(dir);
    }

    WavData Say(const std::string& text, const std::string& name) {
        const std::string path = (dir / name).string();
        auto sink = std::make_shared<WavFileSink>(path);
        EXPECT_TRUE(sink->IsOpen());
        engine.SpeakTo(text, sink);
        EXPECT_EQ(engine.WaitUntilDone(Patience), CSpeechEngine::Outcome::Spoken);
        std::optional<WavData> wav = ReadWav(path);
        EXPECT_TRUE(wav.has_value());
        return wav.value_or(WavData{});
    }

    std::filesystem::path dir;
    CSpeechEngine engine;
};

} // namespace

TEST_F(EspeakTest, EnglishIsModeZeroInTheCLocale) {
    EXPECT_NE(engine.GetModeName(0).find("English"), std::string::npos) << engine.GetModeName(0);
    EXPECT_LE(engine.lastModeIndex, 49);
    EXPECT_EQ(engine.GetModeName(engine.lastModeIndex + 1), "");
}

TEST_F(EspeakTest, PauseTagLeavesHalfASecondOfSilence) {
    engine.SetVolume(100);
    const WavData tagged = Say("Incoming call on Office from 0 1 2 \\Pau=500\\3 4   ", "tag.wav");
    const WavData plain = Say("Incoming call on Office from 0 1 2 3 4   ", "plain.wav");
    EXPECT_EQ(tagged.format, 1);
    EXPECT_EQ(tagged.channels, 1);
    EXPECT_EQ(tagged.bitsPerSample, 16);
    EXPECT_GT(tagged.sampleRate, 8000);
    const double gap = LongestInnerSilence(tagged, QuietThreshold);
    EXPECT_GE(gap, 0.45);
    EXPECT_LE(gap, 0.75);
    EXPECT_LT(LongestInnerSilence(plain, QuietThreshold), 0.3);
    EXPECT_NEAR(tagged.Seconds() - plain.Seconds(), 0.5, 0.2);
}

TEST_F(EspeakTest, VolumeZeroIsSilence) {
    engine.SetVolume(0);
    const WavData wav = Say("Incoming call on Office", "quiet.wav");
    EXPECT_GT(wav.Seconds(), 0.5); // the speech still takes its time
    EXPECT_EQ(PeakAmplitude(wav), 0);
    engine.SetVolume(100);
    const WavData loud = Say("Incoming call on Office", "loud.wav");
    engine.SetVolume(50);
    const WavData half = Say("Incoming call on Office", "half.wav");
    EXPECT_GT(PeakAmplitude(loud), 5000);
    EXPECT_LT(PeakAmplitude(half), PeakAmplitude(loud));
    EXPECT_GT(PeakAmplitude(half), PeakAmplitude(loud) / 4);
}

TEST_F(EspeakTest, LongerTextLongerFileAndSpeedShortensIt) {
    const WavData shortText = Say("Incoming call", "short.wav");
    const WavData longText =
        Say("Incoming call on Office from the main switchboard of the company", "long.wav");
    EXPECT_GT(longText.Seconds(), shortText.Seconds() * 2);
    engine.SetSpeed(engine.GetMaxSpeed());
    const WavData fast =
        Say("Incoming call on Office from the main switchboard of the company", "fast.wav");
    EXPECT_LT(fast.Seconds(), longText.Seconds() * 0.7);
}

TEST_F(EspeakTest, IdsAreEqualAcrossInstances) {
    CSpeechEngine other;
    other.CreateEnumerator();
    other.EnumerateModes();
    ASSERT_EQ(other.lastModeIndex, engine.lastModeIndex);
    for (int i = 0; i <= engine.lastModeIndex; ++i) {
        EXPECT_EQ(other.GetModeId(i), engine.GetModeId(i)) << i;
        EXPECT_EQ(other.GetModeName(i), engine.GetModeName(i)) << i;
        for (int j = 0; j < i; ++j)
            EXPECT_NE(engine.GetModeId(i), engine.GetModeId(j)) << i << " " << j;
    }
    other.ReleaseEngine();
}

TEST_F(EspeakTest, UnknownStoredModeFallsBackToModeZero) {
    Settings stored;
    std::memset(&stored, 0, sizeof stored);
    const SpeechModeId gone = ModeIdForVoice("no/such-voice");
    std::copy(gone.begin(), gone.end(), stored.ttsModeId);
    stored.ttsSpeed = 400;
    stored.ttsPitch = 90;
    stored.ttsVolume = 100;
    engine.SelectMode(engine.GetModeId(1));
    ApplyStoredSpeechSettings(engine, stored);
    EXPECT_EQ(engine.GetSelectedModeId(), engine.GetModeId(0));
    EXPECT_EQ(engine.GetSpeed(), 175);
    EXPECT_EQ(engine.GetPitch(), 50);
    EXPECT_EQ(engine.GetVolume(), 100);
}

TEST_F(EspeakTest, VoiceChangeReachesTheSynthesizer) {
    const int german = [&] {
        for (int i = 0; i <= engine.lastModeIndex; ++i)
            if (engine.GetModeId(i) == ModeIdForVoice("gmw/de"))
                return i;
        return -1;
    }();
    if (german < 0)
        GTEST_SKIP() << "no German voice among the first modes";
    const WavData english = Say("zwei", "en.wav");
    ASSERT_TRUE(engine.SelectMode(engine.GetModeId(german)));
    const WavData deutsch = Say("zwei", "de.wav");
    EXPECT_NE(english.samples, deutsch.samples);
}

TEST_F(EspeakTest, NoAudioDeviceNeverHangs) {
    // Where there is no device the utterance is dropped; where there is one it is played. Either
    // way the wait ends, and a file written afterwards is still complete.
    engine.Speak("test");
    EXPECT_NE(engine.WaitUntilDone(Patience), CSpeechEngine::Outcome::TimedOut);
    const WavData after = Say("Incoming call", "after.wav");
    EXPECT_GT(after.Seconds(), 0.3);
}
