#include "speech/WavFileSink.h"
#include "WavReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("tavo-wav-" + std::to_string(getpid()) + "-" + name))
        .string();
}

} // namespace

TEST(WavFileSink, WritesPcmMonoWithCorrectSizes) {
    const std::string path = TempPath("a.wav");
    {
        WavFileSink sink(path);
        ASSERT_TRUE(sink.IsOpen());
        ASSERT_TRUE(sink.Begin(16000));
        const int16_t first[] = {0, 1, -1, 32767};
        const int16_t second[] = {-32768, 258};
        ASSERT_TRUE(sink.Write(first));
        ASSERT_TRUE(sink.Write(second));
        EXPECT_TRUE(sink.Finish());
        EXPECT_TRUE(sink.Error().empty());
    }
    const auto wav = ReadWav(path);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->format, 1);
    EXPECT_EQ(wav->channels, 1);
    EXPECT_EQ(wav->sampleRate, 16000);
    EXPECT_EQ(wav->bitsPerSample, 16);
    EXPECT_EQ(wav->samples, (std::vector<int16_t>{0, 1, -1, 32767, -32768, 258}));
    EXPECT_EQ(wav->riffSize, 36u + 12u);
    EXPECT_EQ(std::filesystem::file_size(path), 44u + 12u);
    std::filesystem::remove(path);
}

TEST(WavFileSink, NothingWrittenIsAnEmptyValidFile) {
    const std::string path = TempPath("empty.wav");
    { WavFileSink sink(path); }
    const auto wav = ReadWav(path);
    ASSERT_TRUE(wav);
    EXPECT_TRUE(wav->samples.empty());
    std::filesystem::remove(path);
}

TEST(WavFileSink, UnwritablePathIsReportedAtOnce) {
    WavFileSink sink("/nonexistent-dir/x.wav");
    EXPECT_FALSE(sink.IsOpen());
    EXPECT_NE(sink.Error().find("/nonexistent-dir/x.wav"), std::string::npos);
    EXPECT_FALSE(sink.Begin(22050));
    const int16_t one[] = {1};
    EXPECT_FALSE(sink.Write(one));
    EXPECT_FALSE(sink.Finish());
}

TEST(WavFileSink, FullDeviceFailsTheWrite) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    WavFileSink sink("/dev/full");
    std::vector<int16_t> many(1 << 16, 7);
    bool ok = sink.IsOpen() && sink.Begin(22050) && sink.Write(many);
    ok = sink.Finish() && ok;
    EXPECT_FALSE(ok);
    EXPECT_FALSE(sink.Error().empty());
}
