#include "core/SayCommand.h"

#include "FakeSpeechBackend.h"
#include "WavReader.h"
#include "settings/Settings.h"
#include "speech/CSpeechEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

class SayTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C", 1);
        SetDefaultSettings(settings);
        backend->voices = {FakeSpeechBackend::Voice("gmw/en", "English", "en"),
                           FakeSpeechBackend::Voice("gmw/de", "German", "de")};
        err = std::tmpfile();
        wavPath = (std::filesystem::temp_directory_path() /
                   ("tavo-say-" + std::to_string(getpid()) + ".wav"))
                      .string();
    }
    void TearDown() override {
        unsetenv("LC_ALL");
        std::fclose(err);
        std::filesystem::remove(wavPath);
    }

    int Run(std::vector<std::string> words, std::optional<std::string> wav = std::nullopt) {
        CommandLine options;
        options.command = TavoCommand::Say;
        options.sayWords = std::move(words);
        options.wavFile = std::move(wav);
        CSpeechEngine engine(backend);
        return RunSay(options, engine, settings, err);
    }

    std::string Errors() {
        std::string text;
        std::rewind(err);
        for (int c; (c = std::fgetc(err)) != EOF;)
            text += static_cast<char>(c);
        return text;
    }

    std::shared_ptr<FakeSpeechBackend> backend = std::make_shared<FakeSpeechBackend>();
    Settings settings;
    std::FILE* err = nullptr;
    std::string wavPath;
};

} // namespace

TEST_F(SayTest, SpeaksTheWordsWithTheStoredVoice) {
    backend->answer = true;
    const SpeechModeId german = ModeIdForVoice("gmw/de");
    std::copy(german.begin(), german.end(), settings.ttsModeId);
    settings.ttsSpeed = 300;
    settings.ttsPitch = 70;
    settings.ttsVolume = 100;
    EXPECT_EQ(Run({"Incoming", "call", "\\Pau=500\\x"}), 0);
    ASSERT_EQ(backend->queued.size(), 1u);
    const Utterance& u = backend->queued[0].utterance;
    EXPECT_EQ(u.voice, "gmw/de");
    EXPECT_EQ(u.speed, 300);
    EXPECT_EQ(u.pitch, 70);
    EXPECT_EQ(u.volume, 100);
    EXPECT_EQ(u.markup, "Incoming call <break time=\"500ms\"/>x");
    EXPECT_EQ(backend->queued[0].sink, nullptr);
    EXPECT_EQ(Errors(), "");
}

TEST_F(SayTest, NoVoiceIsExitTwo) {
    backend->voices.clear();
    EXPECT_EQ(Run({"hello"}), 2);
    EXPECT_NE(Errors().find("no text-to-speech voice"), std::string::npos);
    backend->startable = false;
    EXPECT_EQ(Run({"hello"}, wavPath), 2);
    EXPECT_FALSE(std::filesystem::exists(wavPath));
}

TEST_F(SayTest, UnwritableFileIsExitTwo) {
    backend->answer = true;
    EXPECT_EQ(Run({"hello"}, "/nonexistent-dir/out.wav"), 2);
    EXPECT_NE(Errors().find("/nonexistent-dir/out.wav"), std::string::npos);
    EXPECT_TRUE(backend->queued.empty());
}

TEST_F(SayTest, WritesTheWavInsteadOfPlaying) {
    backend->answer = true;
    EXPECT_EQ(Run({"hello"}, wavPath), 0);
    ASSERT_EQ(backend->queued.size(), 1u);
    EXPECT_NE(backend->queued[0].sink, nullptr);
    const auto wav = ReadWav(wavPath);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->samples, (std::vector<int16_t>{1, 2, 3}));
}

TEST_F(SayTest, SpeechThatFailsIsNotReportedAsDone) {
    backend->answer = false;
    EXPECT_EQ(Run({"hello"}), 1);
    EXPECT_NE(Errors().find("nothing was played"), std::string::npos);
    EXPECT_EQ(Run({"hello"}, wavPath), 2);
}

TEST_F(SayTest, RealSynthesizerWritesTheExampleSentence) {
    CommandLine options;
    options.command = TavoCommand::Say;
    options.sayWords = {"Incoming call on Office from 012\\Pau=500\\34"};
    options.wavFile = wavPath;
    CSpeechEngine engine;
    ASSERT_EQ(RunSay(options, engine, settings, err), 0) << Errors();
    const auto wav = ReadWav(wavPath);
    ASSERT_TRUE(wav);
    EXPECT_GT(wav->Seconds(), 1.5);
    EXPECT_GE(LongestInnerSilence(*wav, 200), 0.45);
}
