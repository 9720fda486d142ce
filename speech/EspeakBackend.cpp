// The espeak-ng backend: one worker thread owns the library. espeak-ng keeps its state in
// process-wide globals, cannot be shut down and started again safely, and its synchronous calls
// last as long as the utterance; so every call into it happens on this thread, the library is
// initialised once per process and never terminated, and callers only ever wait for the short
// start-up (voice list), never for speech.

#include "platform/AudioOutput.h"
#include "speech/SpeechBackend.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// After the audio device failed, playback is not tried again for this long; until then
// utterances for the device are dropped silently.
constexpr auto AudioRetryInterval = std::chrono::seconds(30);
// How long a caller waits for the worker to load the synthesizer and list its voices.
constexpr auto StartTimeout = std::chrono::seconds(15);
// At exit, how long the utterance being played may hold the process up.
constexpr auto StopPatience = std::chrono::milliseconds(3000);

// The sink of the utterance being synthesized (worker thread only) and the stop request that
// aborts it at exit.
SpeechSink* activeSink = nullptr;
bool activeSinkFailed = false;
std::atomic<bool> stopRequested{false};

int OnSamples(short* samples, int count, espeak_EVENT*) {
    if (stopRequested.load())
        return 1;
    if (samples && count > 0 && activeSink) {
        if (!activeSink->Write(std::span<const int16_t>(samples, static_cast<size_t>(count)))) {
            activeSinkFailed = true;
            return 1;
        }
    }
    return 0;
}

std::vector<std::pair<std::string, int>> ParseLanguages(const char* list) {
    // Each entry: one preference byte, then a zero-terminated tag; an empty tag ends the list.
    std::vector<std::pair<std::string, int>> languages;
    if (!list)
        return languages;
    while (list[0] != 0 && list[1] != 0) {
        const int preference = static_cast<unsigned char>(list[0]);
        const std::string tag(list + 1);
        languages.emplace_back(tag, preference);
        list += 1 + tag.size() + 1;
    }
    return languages;
}

// Everything the worker thread touches. The thread holds its own reference, so that at exit the
// process can stop waiting for an utterance stuck in the audio device without pulling this state
// away from under the thread.
class EspeakWorker : public std::enable_shared_from_this<EspeakWorker> {
public:
    bool Start() {
        std::unique_lock lock(mutex);
        if (!started && !stopping) {
            started = true;
            try {
                std::thread([self = shared_from_this()] { self->Run(); }).detach();
            } catch (const std::system_error&) {
                state = State::Failed;
                finished = true;
            }
        }
        changed.wait_for(lock, StartTimeout, [this] { return state != State::Starting; });
        return state == State::Ready;
    }

    // Drops what is still queued and waits a little for the utterance in progress.
    void Stop(std::chrono::milliseconds patience) {
        std::deque<Job> dropped;
        {
            std::unique_lock lock(mutex);
            stopping = true;
            stopRequested = true;
            dropped.swap(jobs);
            changed.notify_all();
            if (started)
                changed.wait_for(lock, patience, [this] { return finished; });
        }
        for (Job& job : dropped)
            job.done.set_value(false);
    }

    std::vector<SpeechVoice> Voices() {
        std::lock_guard lock(mutex);
        return state == State::Ready ? voices : std::vector<SpeechVoice>{};
    }

    bool OutputReady() {
        std::lock_guard lock(mutex);
        return state == State::Ready && !stopping;
    }

    std::shared_future<bool> Queue(Utterance utterance, std::shared_ptr<SpeechSink> sink) {
        Job job{std::move(utterance), std::move(sink), {}};
        std::shared_future<bool> result = job.done.get_future().share();
        {
            std::lock_guard lock(mutex);
            if (state == State::Ready && !stopping) {
                jobs.push_back(std::move(job));
                changed.notify_all();
                return result;
            }
        }
        job.done.set_value(false);
        return result;
    }

private:
    enum class State { Starting, Ready, Failed };
    enum class Output { None, Device, Retrieval };

    struct Job {
        Utterance utterance;
        std::shared_ptr<SpeechSink> sink;
        std::promise<bool> done;
    };

    void Run() {
        const bool ready = Initialise();
        {
            std::lock_guard lock(mutex);
            state = ready ? State::Ready : State::Failed;
            changed.notify_all();
        }
        if (ready)
            Serve();
        std::lock_guard lock(mutex);
        finished = true;
        changed.notify_all();
    }

    void Serve() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [this] { return stopping || !jobs.empty(); });
                if (stopping)
                    return;
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            job.done.set_value(Speak(job.utterance, job.sink.get()));
        }
    }

    bool Initialise() {
        // espeak-ng switches LC_CTYPE to a UTF-8 locale for its character classes; the rest of
        // the program keeps the locale it chose, unless that is the plain C locale, under which
        // espeak-ng would misread every non-ASCII letter.
        // The speech worker is the only thread that changes the locale once the program runs.
        const char* current = std::setlocale(LC_CTYPE, nullptr); // NOLINT(concurrency-mt-unsafe)
        const std::string before = current ? current : "C";
        espeak_ng_InitializePath(nullptr);
        espeak_ng_ERROR_CONTEXT context = nullptr;
        const espeak_ng_STATUS status = espeak_ng_Initialize(&context);
        espeak_ng_ClearErrorContext(&context);
        if (before != "C" && before != "POSIX")
            std::setlocale(LC_CTYPE, before.c_str()); // NOLINT(concurrency-mt-unsafe)
        if (status != ENS_OK)
            return false;
        espeak_SetSynthCallback(OnSamples);
        std::vector<SpeechVoice> found;
        if (const espeak_VOICE** list = espeak_ListVoices(nullptr)) {
            for (; *list; ++list) {
                const espeak_VOICE* v = *list;
                if (!v->identifier)
                    continue;
                found.push_back({v->identifier, v->name ? v->name : v->identifier,
                                 ParseLanguages(v->languages), true});
            }
        }
        std::lock_guard lock(mutex);
        voices = std::move(found);
        return true;
    }

    bool UseOutput(Output wanted) {
        if (output == wanted)
            return true;
        // Opening the device where there is none makes the audio libraries print their own
        // complaints on standard error at every try; a server or CI box has no sound at all.
        if (wanted == Output::Device && !AudioOutputLikely())
            return false;
        const auto mode = wanted == Output::Device
                              ? static_cast<espeak_ng_OUTPUT_MODE>(ENOUTPUT_MODE_SYNCHRONOUS |
                                                                   ENOUTPUT_MODE_SPEAK_AUDIO)
                              : ENOUTPUT_MODE_SYNCHRONOUS;
        if (espeak_ng_InitializeOutput(mode, 0, nullptr) != ENS_OK) {
            output = Output::None;
            return false;
        }
        output = wanted;
        return true;
    }

    bool Speak(const Utterance& utterance, SpeechSink* sink) {
        if (!sink && audioFailedAt && Clock::now() - *audioFailedAt < AudioRetryInterval)
            return false;
        if (!UseOutput(sink ? Output::Retrieval : Output::Device))
            return false;
        if (utterance.voice != currentVoice) {
            if (espeak_ng_SetVoiceByName(utterance.voice.c_str()) != ENS_OK) {
                currentVoice.clear();
                return false;
            }
            currentVoice = utterance.voice;
        }
        espeak_ng_SetParameter(espeakRATE, utterance.speed, 0);
        espeak_ng_SetParameter(espeakPITCH, utterance.pitch, 0);
        espeak_ng_SetParameter(espeakVOLUME, utterance.volume, 0);

        activeSink = sink;
        activeSinkFailed = false;
        if (sink && !sink->Begin(espeak_ng_GetSampleRate())) {
            sink->Finish();
            activeSink = nullptr;
            return false;
        }
        const std::string& text = utterance.markup;
        const espeak_ng_STATUS status =
            espeak_ng_Synthesize(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                 espeakCHARS_AUTO | espeakSSML, nullptr, nullptr);
        activeSink = nullptr;
        if (sink) {
            const bool written = sink->Finish();
            return status == ENS_OK && written && !activeSinkFailed;
        }
        // Without a usable device espeak-ng reports an audio error or, as it gives up inside
        // the utterance, a stopped one; nothing else stops an utterance for the device.
        if (status == ENS_AUDIO_ERROR || status == ENS_SPEECH_STOPPED) {
            // No usable audio device: drop speech for a while instead of failing every call
            // again, and leave the device mode so the next sink utterance starts cleanly.
            audioFailedAt = Clock::now();
            UseOutput(Output::Retrieval);
            return false;
        }
        audioFailedAt.reset();
        return status == ENS_OK;
    }

    std::mutex mutex;
    std::condition_variable changed;
    State state = State::Starting;
    bool started = false;
    bool stopping = false;
    bool finished = false;
    std::deque<Job> jobs;
    std::vector<SpeechVoice> voices;

    // Worker thread only.
    Output output = Output::None;
    std::string currentVoice;
    std::optional<Clock::time_point> audioFailedAt;
};

class EspeakBackend final : public SpeechBackend {
public:
    ~EspeakBackend() override { worker->Stop(StopPatience); }

    bool Start() override { return worker->Start(); }
    std::vector<SpeechVoice> Voices() override { return worker->Voices(); }
    bool OutputReady() override { return worker->OutputReady(); }
    SpeechRange SpeedRange() const override {
        return {espeakRATE_MINIMUM, espeakRATE_MAXIMUM, espeakRATE_NORMAL};
    }
    // espeak-ng's base pitch runs from 0 to 100 with 50 as normal.
    SpeechRange PitchRange() const override { return {0, 100, 50}; }
    // Above 100 espeak-ng amplifies and distorts, so 100 is the top of our scale.
    SpeechRange VolumeRange() const override { return {0, 100, 100}; }

    std::shared_future<bool> Queue(Utterance utterance, std::shared_ptr<SpeechSink> sink) override {
        return worker->Queue(std::move(utterance), std::move(sink));
    }

private:
    std::shared_ptr<EspeakWorker> worker = std::make_shared<EspeakWorker>();
};

} // namespace

std::shared_ptr<SpeechBackend> SharedSpeechBackend() {
    static const std::shared_ptr<SpeechBackend> backend = std::make_shared<EspeakBackend>();
    return backend;
}
