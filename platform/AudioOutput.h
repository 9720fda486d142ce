#pragma once
// Whether this machine can play sound at all: a sound server or an ALSA playback device.
// Asking first keeps the audio libraries from printing their complaints on standard error at
// every try on a server or a CI box.
bool AudioOutputLikely();
