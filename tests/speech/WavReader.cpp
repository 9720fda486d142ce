#include "WavReader.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}

} // namespace

std::optional<WavData> ReadWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes.size() < 12 || std::string(bytes.begin(), bytes.begin() + 4) != "RIFF" ||
        std::string(bytes.begin() + 8, bytes.begin() + 12) != "WAVE")
        return std::nullopt;
    WavData wav;
    wav.riffSize = Le32(bytes, 4);
    size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= bytes.size()) {
        const std::string id(bytes.begin() + at, bytes.begin() + at + 4);
        const uint32_t size = Le32(bytes, at + 4);
        const size_t body = at + 8;
        if (body + size > bytes.size())
            return std::nullopt;
        if (id == "fmt " && size >= 16) {
            wav.format = Le16(bytes, body);
            wav.channels = Le16(bytes, body + 2);
            wav.sampleRate = int(Le32(bytes, body + 4));
            wav.bitsPerSample = Le16(bytes, body + 14);
            haveFormat = true;
        } else if (id == "data") {
            for (size_t i = body; i + 1 < body + size; i += 2)
                wav.samples.push_back(int16_t(Le16(bytes, i)));
        }
        at = body + size + (size & 1);
    }
    if (!haveFormat)
        return std::nullopt;
    return wav;
}

double LongestInnerSilence(const WavData& wav, int threshold) {
    const auto loud = [&](int16_t s) { return std::abs(int(s)) > threshold; };
    const auto first = std::find_if(wav.samples.begin(), wav.samples.end(), loud);
    const auto last = std::find_if(wav.samples.rbegin(), wav.samples.rend(), loud).base();
    size_t longest = 0;
    size_t run = 0;
    for (auto it = first; it < last; ++it) {
        run = loud(*it) ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return wav.sampleRate ? double(longest) / wav.sampleRate : 0.0;
}

int PeakAmplitude(const WavData& wav) {
    int peak = 0;
    for (int16_t s : wav.samples)
        peak = std::max(peak, std::abs(int(s)));
    return peak;
}
