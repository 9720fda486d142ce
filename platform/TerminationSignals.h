#pragma once
// Ending on SIGTERM and SIGINT the Qt way: the handler only writes to a self-pipe, and the
// watcher's callback runs on the event loop of `context`'s thread.

#include <functional>

class QObject;

// SIGTERM and SIGINT call `onSignal` on `context`'s thread (through a self-pipe, so nothing but
// a write happens inside the signal handler). One watcher at a time; a second call replaces it.
bool WatchTerminationSignals(QObject* context, std::function<void()> onSignal);
// Puts the default signal actions back and drops the watcher.
void StopWatchingTerminationSignals();
