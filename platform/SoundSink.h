#pragma once
// The two sounds of an incoming call. Front ends are handed a sink; a machine without sound
// simply hears nothing, and no call of a sink may block its caller.

class SoundSink {
public:
    virtual ~SoundSink() = default;
    // The popup's sound "RingIn".
    virtual void PlayRingIn() = 0;
    // Four 100 ms tones: 500, 750, 500 and 1000 Hz.
    virtual void PlayBeepMelody() = 0;
};

// For runs that want no sound at all.
class SilentSoundSink final : public SoundSink {
public:
    void PlayRingIn() override {}
    void PlayBeepMelody() override {}
};
