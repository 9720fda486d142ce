#include "platform/SoundMelody.h"

#include "platform/XdgDirectories.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <system_error>

#include <unistd.h>

namespace {

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::optional<std::string> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

std::string MakeToneWav(std::span<const Tone> tones, int sampleRate) {
    std::string samples;
    // A short ramp at both ends of every tone keeps the speaker from clicking between tones.
    const int ramp = sampleRate / 200; // 5 ms
    for (const Tone& tone : tones) {
        const int count = static_cast<int>(int64_t{sampleRate} * tone.milliseconds / 1000);
        for (int i = 0; i < count; ++i) {
            double gain = 1.0;
            if (i < ramp)
                gain = static_cast<double>(i) / ramp;
            else if (count - 1 - i < ramp)
                gain = static_cast<double>(count - 1 - i) / ramp;
            const double phase = 2.0 * std::numbers::pi * tone.frequencyHz * i / sampleRate;
            const auto sample = static_cast<int16_t>(std::lround(16000.0 * gain * std::sin(phase)));
            PutLe(samples, static_cast<uint16_t>(sample), 2);
        }
    }
    std::string wav;
    wav.reserve(44 + samples.size());
    wav += "RIFF";
    PutLe(wav, static_cast<uint32_t>(36 + samples.size()), 4);
    wav += "WAVEfmt ";
    PutLe(wav, 16, 4);                                    // size of the format chunk
    PutLe(wav, 1, 2);                                     // PCM
    PutLe(wav, 1, 2);                                     // mono
    PutLe(wav, static_cast<uint32_t>(sampleRate), 4);     // samples per second
    PutLe(wav, static_cast<uint32_t>(sampleRate) * 2, 4); // bytes per second
    PutLe(wav, 2, 2);                                     // bytes per sample frame
    PutLe(wav, 16, 2);                                    // bits per sample
    wav += "data";
    PutLe(wav, static_cast<uint32_t>(samples.size()), 4);
    wav += samples;
    return wav;
}

std::optional<std::string> FindRingInFile(const std::string& directory) {
    for (const char* name : {"RingIn.wav", "RingIn.oga", "RingIn.ogg"}) {
        std::filesystem::path path = std::filesystem::path(directory) / name;
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error))
            return path.string();
    }
    return std::nullopt;
}

std::string BeepMelodyCachePath() {
    std::filesystem::path dir;
    if (const std::string cache = XdgCacheHome(); !cache.empty())
        dir = std::filesystem::path(cache) / "TAVO";
    else
        dir = std::filesystem::temp_directory_path() / ("TAVO-" + std::to_string(getuid()));
    return (dir / "beep-melody.wav").string();
}

bool EnsureFileContent(const std::string& path, const std::string& bytes) {
    if (auto existing = ReadWhole(path); existing && *existing == bytes)
        return true;
    std::error_code error;
    const std::filesystem::path target(path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), error);
    // Several processes may generate the file at once; each writes its own temporary file and
    // the rename makes one of them win whole.
    const std::string temp = path + ".tmp." + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
