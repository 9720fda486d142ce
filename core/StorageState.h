#pragma once
// Whether the monitor's files can be written. A write that fails is told to the user once, when
// the file goes from writable to failing, and once more when it can be written again, never
// call after call. Called from the call handler's thread and from the history writer's.

#include <functional>
#include <map>
#include <mutex>
#include <string>

class StorageState {
public:
    // `writable`: every file written last time succeeded; `text` says what changed.
    using Listener = std::function<void(bool writable, const std::string& text)>;

    // Each change of state goes to ShowMessage and then to `listener` (the window's tray
    // tooltip, say). Empty: ShowMessage only.
    void SetListener(Listener listener);

    // The outcome of one write of `file` (`error` says why when it failed). The user hears of
    // the first file that fails and of the last one that comes back.
    void Report(const std::string& file, bool ok, const std::string& error = {});
    // A failure known before any write (a read-only data directory at start-up): told now; the
    // first write that succeeds ends it.
    void ReportKnownFailure(const std::string& text);

    bool Writable() const;

private:
    void Tell(bool writable, const std::string& text);
    bool WritableLocked() const;

    mutable std::mutex mutex;
    std::map<std::string, bool> failing;
    bool knownFailure = false;
    Listener listener;
};
