#include "speech/CSpeechEngine.h"
#include "platform/Environment.h"

#include "speech/SpeechText.h"
#include "speech/VoiceOrder.h"

#include <algorithm>
#include <cmath>

namespace {

int Clamp(int64_t value, const SpeechRange& range) {
    return static_cast<int>(std::clamp<int64_t>(value, range.min, range.max));
}

} // namespace

uint32_t VolumeValueForPercent(int percent) {
    percent = std::clamp(percent, 0, 100);
    const auto x = static_cast<uint32_t>(percent / 100.0 * 255.0);
    return x * 257;
}

int EngineVolumeForValue(uint32_t value, int maxVolume) {
    value = std::min<uint32_t>(value, 65535);
    return static_cast<int>(std::lround(value * static_cast<double>(maxVolume) / 65535.0));
}

CSpeechEngine::CSpeechEngine() : CSpeechEngine(SharedSpeechBackend()) {}

CSpeechEngine::CSpeechEngine(std::shared_ptr<SpeechBackend> speechBackend)
    : backend(std::move(speechBackend)) {}

CSpeechEngine::~CSpeechEngine() = default;

bool CSpeechEngine::CreateEnumerator() {
    voice.reset();
    connected = backend && backend->Start();
    if (!connected)
        lastError = NoEnumeratorError;
    return true;
}

bool CSpeechEngine::EnumerateModes() {
    modeIds = {};
    modeNames = {};
    modeVoices = {};
    lastModeIndex = -1;
    if (!connected)
        return false;
    const std::vector<SpeechVoice> voices =
        OrderVoicesForUser(backend->Voices(), ParseLocaleName(MessageLocale()));
    int index = 0;
    for (const SpeechVoice& v : voices) {
        if (index == MaxModes)
            break;
        modeNames[index] = v.anyWord ? v.name : v.name + SpecificWordsSuffix;
        modeIds[index] = ModeIdForVoice(v.identifier);
        modeVoices[index] = v.identifier;
        lastModeIndex = index++;
    }
    return lastModeIndex >= 0;
}

bool CSpeechEngine::SelectMode(const SpeechModeId& id) {
    int found = -1;
    for (int i = 0; i <= lastModeIndex; ++i) {
        if (modeIds[i] == id) {
            found = i;
            break;
        }
    }
    if (found < 0)
        return false;
    voice.reset();
    if (!connected || !backend->OutputReady()) {
        lastError = NoAudioDestError;
        return false;
    }
    // A newly selected voice starts at the synthesizer's own speed and pitch. The volume belongs
    // to this object's output and survives the change; the first voice starts at full volume.
    voice = modeVoices[found];
    speed = backend->SpeedRange().normal;
    pitch = backend->PitchRange().normal;
    if (volume < 0)
        volume = backend->VolumeRange().normal;
    selectedModeId = id;
    return true;
}

bool CSpeechEngine::Speak(const std::string& text) {
    if (voice)
        lastQueued =
            backend->Queue({*voice, speed, pitch, volume, SpeechTextToSsml(text)}, nullptr);
    return true;
}

bool CSpeechEngine::SpeakTo(const std::string& text, std::shared_ptr<SpeechSink> sink) {
    if (voice && sink)
        lastQueued =
            backend->Queue({*voice, speed, pitch, volume, SpeechTextToSsml(text)}, std::move(sink));
    return true;
}

CSpeechEngine::Outcome CSpeechEngine::WaitUntilDone(std::chrono::milliseconds timeout) {
    if (!lastQueued)
        return Outcome::Spoken;
    if (lastQueued->wait_for(timeout) != std::future_status::ready)
        return Outcome::TimedOut;
    return lastQueued->get() ? Outcome::Spoken : Outcome::NotSpoken;
}

std::string CSpeechEngine::GetModeName(int index) const {
    if (index < 0 || index > lastModeIndex)
        return {};
    return modeNames[index];
}

SpeechModeId CSpeechEngine::GetModeId(int index) const {
    if (index < 0 || index > lastModeIndex)
        return {};
    return modeIds[index];
}

bool CSpeechEngine::SetPitch(int value) {
    if (!voice)
        return false;
    // Only the low 16 bits count, as an unsigned number; the voice keeps it within its range.
    pitch = Clamp(static_cast<uint16_t>(value), backend->PitchRange());
    return true;
}

int CSpeechEngine::GetPitch() const {
    return voice ? pitch : 0;
}

int CSpeechEngine::GetMinPitch() {
    if (!voice)
        return -1;
    const int remembered = pitch;
    SetPitch(0);
    const int lowest = GetPitch();
    pitch = remembered;
    return lowest;
}

int CSpeechEngine::GetMaxPitch() {
    if (!voice)
        return -1;
    const int remembered = pitch;
    SetPitch(65535);
    const int highest = GetPitch();
    pitch = remembered;
    return highest;
}

bool CSpeechEngine::SetSpeed(int value) {
    if (!voice)
        return false;
    // The value is taken as 32 unsigned bits, so -1 asks for the fastest speed.
    speed = Clamp(static_cast<uint32_t>(value), backend->SpeedRange());
    return true;
}

int CSpeechEngine::GetSpeed() const {
    return voice ? speed : -1;
}

int CSpeechEngine::GetMinSpeed() {
    if (!voice)
        return -1;
    const int remembered = speed;
    SetSpeed(0);
    const int lowest = GetSpeed();
    speed = remembered;
    return lowest;
}

int CSpeechEngine::GetMaxSpeed() {
    if (!voice)
        return -1;
    const int remembered = speed;
    SetSpeed(static_cast<int>(0xFFFFFFFFu));
    const int highest = GetSpeed();
    speed = remembered;
    return highest;
}

bool CSpeechEngine::SetVolume(int percent) {
    if (voice)
        volume = EngineVolumeForValue(VolumeValueForPercent(percent), backend->VolumeRange().max);
    return true;
}

int CSpeechEngine::GetVolume() const {
    return voice ? volume : -1;
}

void CSpeechEngine::ReleaseEngine() {
    voice.reset();
    connected = false;
}
