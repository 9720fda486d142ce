#include "platform/SoundCanberra.h"
#include "platform/SoundMelody.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <unistd.h>

namespace {

uint32_t Le(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
    return value;
}

int16_t Sample(const std::string& wav, size_t index) {
    return static_cast<int16_t>(Le(wav, 44 + 2 * index, 2));
}

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavo-sound-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    std::filesystem::path path;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(BeepMelodyTest, IsAMonoPcmWavOfFourHundredMilliseconds) {
    const std::string wav = MakeToneWav(BeepMelodyTones);
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(Le(wav, 4, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le(wav, 16, 4), 16u);
    EXPECT_EQ(Le(wav, 20, 2), 1u);     // PCM
    EXPECT_EQ(Le(wav, 22, 2), 1u);     // one channel
    EXPECT_EQ(Le(wav, 24, 4), 22050u); // samples per second
    EXPECT_EQ(Le(wav, 28, 4), 44100u); // bytes per second
    EXPECT_EQ(Le(wav, 32, 2), 2u);
    EXPECT_EQ(Le(wav, 34, 2), 16u);
    EXPECT_EQ(wav.substr(36, 4), "data");
    // 4 tones of 100 ms at 22050 samples per second, 2 bytes each.
    EXPECT_EQ(Le(wav, 40, 4), 4u * 2205u * 2u);
    EXPECT_EQ(wav.size(), 44u + 4u * 2205u * 2u);
}

TEST(BeepMelodyTest, TonesHaveTheirFrequencies) {
    const std::string wav = MakeToneWav(BeepMelodyTones);
    const int expectedHz[] = {500, 750, 500, 1000};
    for (int tone = 0; tone < 4; ++tone) {
        // A tone of f Hz crosses zero 2f times a second: 2f/10 times in 100 ms.
        int crossings = 0;
        int16_t peak = 0;
        for (size_t i = tone * 2205 + 1; i < size_t(tone + 1) * 2205; ++i) {
            const int16_t a = Sample(wav, i - 1), b = Sample(wav, i);
            if ((a < 0 && b >= 0) || (a >= 0 && b < 0))
                ++crossings;
            peak = std::max<int16_t>(peak, b);
        }
        EXPECT_NEAR(crossings, expectedHz[tone] / 5, 3) << "tone " << tone;
        EXPECT_GT(peak, 8000) << "tone " << tone;
    }
}

TEST(RingInFileTest, PrefersWavThenOgaThenOgg) {
    TempDir dir;
    EXPECT_EQ(FindRingInFile(dir.path.string()), std::nullopt);
    // A directory of that name is no sound.
    std::filesystem::create_directory(dir.path / "RingIn.wav");
    EXPECT_EQ(FindRingInFile(dir.path.string()), std::nullopt);
    std::ofstream(dir.path / "RingIn.ogg") << "x";
    EXPECT_EQ(FindRingInFile(dir.path.string()), (dir.path / "RingIn.ogg").string());
    std::ofstream(dir.path / "RingIn.oga") << "x";
    EXPECT_EQ(FindRingInFile(dir.path.string()), (dir.path / "RingIn.oga").string());
    std::filesystem::remove(dir.path / "RingIn.wav");
    std::ofstream(dir.path / "RingIn.wav") << "x";
    EXPECT_EQ(FindRingInFile(dir.path.string()), (dir.path / "RingIn.wav").string());
}

TEST(MelodyFileTest, WrittenOnceAndRepairedWhenDifferent) {
    TempDir dir;
    const std::string path = (dir.path / "cache" / "TAVO" / "beep-melody.wav").string();
    EXPECT_TRUE(EnsureFileContent(path, "first"));
    EXPECT_EQ(ReadFile(path), "first");
    EXPECT_TRUE(EnsureFileContent(path, "second"));
    EXPECT_EQ(ReadFile(path), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path / "cache" / "TAVO"),
                            std::filesystem::directory_iterator()),
              1);
    std::ofstream(dir.path / "file") << "x";
    EXPECT_FALSE(EnsureFileContent((dir.path / "file" / "below").string(), "bytes"));
}

TEST(MelodyFileTest, CachePathFollowsXdgCacheHome) {
    const char* old = std::getenv("XDG_CACHE_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CACHE_HOME", "/some/cache", 1);
    EXPECT_EQ(BeepMelodyCachePath(), "/some/cache/TAVO/beep-melody.wav");
    // A relative value is not a cache home by the freedesktop rules.
    setenv("XDG_CACHE_HOME", "relative", 1);
    EXPECT_NE(BeepMelodyCachePath().rfind("relative", 0), 0u);
    if (old)
        setenv("XDG_CACHE_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CACHE_HOME");
}

// Without a sound system every request is taken and dropped, and nothing waits for it.
TEST(CanberraSinkTest, WithoutSoundEveryRequestIsHandledSilently) {
    TempDir dir;
    setenv("CANBERRA_DRIVER", "no-such-driver", 1);
    {
        CanberraSoundSink sink({dir.path.string(), (dir.path / "melody.wav").string()});
        sink.PlayRingIn();
        sink.PlayBeepMelody();
        sink.PlayRingIn();
        for (int i = 0; i < 200 && sink.Handled() < 3; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(sink.Handled(), 3u);
    }
    unsetenv("CANBERRA_DRIVER");
}

} // namespace
