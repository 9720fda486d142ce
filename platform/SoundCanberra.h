#pragma once
// The sounds through libcanberra, the freedesktop event-sound library.
//
// Every libcanberra call happens on one worker thread owned by the sink: connecting to a sound
// server can take long or hang when the server is stuck, and the callers (the GUI thread, the
// handler of an incoming call) must never wait for it. Requests queue up to a small bound and
// are dropped beyond it; a machine without sound drops them all, silently.

#include "platform/SoundSink.h"

#include <memory>
#include <string>

class CanberraSoundSink final : public SoundSink {
public:
    struct Options {
        // Where "RingIn.wav", "RingIn.oga" or "RingIn.ogg" are looked for at each ring; empty
        // means the current directory (the data directory) at the moment of the ring.
        std::string ringInDirectory;
        // Where the beep melody is generated; empty means BeepMelodyCachePath().
        std::string melodyPath;
    };

    CanberraSoundSink();
    explicit CanberraSoundSink(Options options);
    // Waits a short while for the worker; a worker stuck in the sound library is left behind
    // rather than hanging the program's end.
    ~CanberraSoundSink() override;

    CanberraSoundSink(const CanberraSoundSink&) = delete;
    CanberraSoundSink& operator=(const CanberraSoundSink&) = delete;

    void PlayRingIn() override;
    void PlayBeepMelody() override;

    // How many requests the worker has finished (played, or found no sound to play on).
    unsigned long Handled() const;

    struct Shared;

private:
    Options options;
    std::shared_ptr<Shared> shared;
};
