#pragma once
// Reads the WAV files the speech code writes, independently of the writer, for measuring them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct WavData {
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    uint32_t riffSize = 0;
    std::vector<int16_t> samples;

    double Seconds() const { return sampleRate ? double(samples.size()) / sampleRate : 0.0; }
};

std::optional<WavData> ReadWav(const std::string& path);

// Longest run of samples whose magnitude stays at or below threshold, not counting the quiet
// lead-in and tail; in seconds.
double LongestInnerSilence(const WavData& wav, int threshold);

int PeakAmplitude(const WavData& wav);
