#include "platform/SoundCanberra.h"

#include "platform/AudioOutput.h"

#include "platform/SoundMelody.h"

#include <canberra.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

enum class Kind { RingIn, BeepMelody };

struct Request {
    Kind kind;
    std::string file; // a RingIn file found by the caller; empty: the sound theme
};

constexpr size_t MaxPending = 8;

} // namespace

struct CanberraSoundSink::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::deque<Request> queue;
    bool stop = false;
    bool done = false;
    unsigned long handled = 0;
};

namespace {

// Lives on the worker thread only.
class Player {
public:
    explicit Player(std::string melodyPath) : melodyPath(std::move(melodyPath)) {}
    ~Player() {
        if (context)
            ca_context_destroy(context);
    }

    void Play(const Request& request) {
        if (!Open())
            return;
        if (request.kind == Kind::BeepMelody) {
            if (!melodyReady)
                melodyReady = EnsureFileContent(melodyPath, MakeToneWav(BeepMelodyTones));
            if (melodyReady)
                ca_context_play(context, 2, CA_PROP_MEDIA_FILENAME, melodyPath.c_str(),
                                CA_PROP_EVENT_DESCRIPTION, "incoming call", nullptr);
            return;
        }
        if (!request.file.empty() &&
            ca_context_play(context, 1, CA_PROP_MEDIA_FILENAME, request.file.c_str(),
                            CA_PROP_EVENT_DESCRIPTION, "incoming call", nullptr) == CA_SUCCESS)
            return;
        if (ca_context_play(context, 1, CA_PROP_EVENT_ID, "phone-incoming-call",
                            CA_PROP_EVENT_DESCRIPTION, "incoming call", nullptr) == CA_SUCCESS)
            return;
        ca_context_play(context, 1, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                        "incoming call", nullptr);
    }

private:
    bool Open() {
        if (context)
            return true;
        if (failed)
            return false;
        if (!AudioOutputLikely()) {
            failed = true;
            return false;
        }
        if (ca_context_create(&context) != CA_SUCCESS) {
            context = nullptr;
            failed = true;
            return false;
        }
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "TAVO", nullptr);
        if (ca_context_open(context) != CA_SUCCESS) {
            // No sound server or device: stay silent for the rest of the run.
            ca_context_destroy(context);
            context = nullptr;
            failed = true;
            return false;
        }
        return true;
    }

    std::string melodyPath;
    ca_context* context = nullptr;
    bool failed = false;
    bool melodyReady = false;
};

void RunWorker(std::shared_ptr<CanberraSoundSink::Shared> shared, std::string melodyPath) {
    {
        Player player(std::move(melodyPath));
        std::unique_lock lock(shared->mutex);
        while (true) {
            shared->wake.wait(lock, [&] { return shared->stop || !shared->queue.empty(); });
            if (shared->stop)
                break;
            Request request = std::move(shared->queue.front());
            shared->queue.pop_front();
            lock.unlock();
            player.Play(request);
            lock.lock();
            ++shared->handled;
        }
    }
    std::lock_guard lock(shared->mutex);
    shared->done = true;
    shared->finished.notify_all();
}

} // namespace

CanberraSoundSink::CanberraSoundSink() : CanberraSoundSink(Options{}) {}

CanberraSoundSink::CanberraSoundSink(Options givenOptions)
    : options(std::move(givenOptions)), shared(std::make_shared<Shared>()) {
    if (options.melodyPath.empty())
        options.melodyPath = BeepMelodyCachePath();
    std::thread(RunWorker, shared, options.melodyPath).detach();
}

CanberraSoundSink::~CanberraSoundSink() {
    std::unique_lock lock(shared->mutex);
    shared->stop = true;
    shared->queue.clear();
    shared->wake.notify_all();
    // The worker owns its state through `shared`, so leaving it behind is safe.
    shared->finished.wait_for(lock, std::chrono::seconds(2), [&] { return shared->done; });
}

void CanberraSoundSink::PlayRingIn() {
    Request request{Kind::RingIn, {}};
    std::error_code error;
    std::string dir = options.ringInDirectory;
    if (dir.empty())
        dir = std::filesystem::current_path(error).string();
    if (!dir.empty()) {
        if (auto file = FindRingInFile(dir))
            request.file = std::filesystem::absolute(*file, error).string();
    }
    std::lock_guard lock(shared->mutex);
    if (shared->queue.size() < MaxPending) {
        shared->queue.push_back(std::move(request));
        shared->wake.notify_one();
    }
}

void CanberraSoundSink::PlayBeepMelody() {
    std::lock_guard lock(shared->mutex);
    if (shared->queue.size() < MaxPending) {
        shared->queue.push_back(Request{Kind::BeepMelody, {}});
        shared->wake.notify_one();
    }
}

unsigned long CanberraSoundSink::Handled() const {
    std::lock_guard lock(shared->mutex);
    return shared->handled;
}
