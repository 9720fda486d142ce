#include "speech/WavFileSink.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

constexpr uint32_t HeaderBytes = 44;

} // namespace

WavFileSink::WavFileSink(std::string filePath) : path(std::move(filePath)) {
    file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = path + ": " + ErrorText(errno);
        return;
    }
    opened = true;
    // A valid empty file from the start; Finish writes the real sizes.
    if (!WriteHeader())
        Fail("cannot write");
}

WavFileSink::~WavFileSink() {
    if (file)
        Finish();
}

bool WavFileSink::WriteHeader() {
    std::vector<uint8_t> header;
    header.reserve(HeaderBytes);
    PutTag(header, "RIFF");
    Put32(header, HeaderBytes - 8 + dataBytes);
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    Put32(header, 16);                              // size of the format block
    Put16(header, 1);                               // PCM
    Put16(header, 1);                               // mono
    Put32(header, static_cast<uint32_t>(rate));     // samples per second
    Put32(header, static_cast<uint32_t>(rate) * 2); // bytes per second
    Put16(header, 2);                               // bytes per sample frame
    Put16(header, 16);                              // bits per sample
    PutTag(header, "data");
    Put32(header, dataBytes);
    return std::fseek(file, 0, SEEK_SET) == 0 &&
           std::fwrite(header.data(), 1, header.size(), file) == header.size();
}

void WavFileSink::Fail(const std::string& what) {
    if (error.empty())
        error = path + ": " + what;
}

bool WavFileSink::Begin(int sampleRate) {
    if (!file || !error.empty())
        return false;
    if (sampleRate > 0)
        rate = sampleRate;
    return true;
}

bool WavFileSink::Write(std::span<const int16_t> samples) {
    if (!file || !error.empty())
        return false;
    const uint64_t bytes = uint64_t{samples.size()} * 2;
    if (dataBytes + bytes > std::numeric_limits<uint32_t>::max() - HeaderBytes) {
        Fail("the audio is too long for a WAV file");
        return false;
    }
    std::vector<uint8_t> buffer;
    buffer.reserve(bytes);
    for (int16_t s : samples)
        Put16(buffer, static_cast<uint16_t>(s));
    if (std::fseek(file, 0, SEEK_END) != 0 ||
        std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
        Fail(std::string("cannot write: ") + ErrorText(errno));
        return false;
    }
    dataBytes += static_cast<uint32_t>(bytes);
    return true;
}

bool WavFileSink::Finish() {
    if (finished)
        return error.empty();
    finished = true;
    if (!file)
        return false;
    if (error.empty() && (!WriteHeader() || std::fflush(file) != 0))
        Fail(std::string("cannot write: ") + ErrorText(errno));
    if (std::fclose(file) != 0)
        Fail(std::string("cannot write: ") + ErrorText(errno));
    file = nullptr;
    return error.empty();
}
