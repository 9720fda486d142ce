#pragma once
// Everything the monitor is, without windows: the three lists, the area codes, the settings, the
// line to the ISDN card with its listener, the speech engine, the telnet server and the handling
// of each call. The main window and the headless front end both run on one of these, on the
// thread that created it, and call its start-up steps in their own order.

#include "AreaCodeTable.h"
#include "CallList.h"
#include "CommandLine.h"
#include "IncomingCallNotice.h"
#include "Settings.h"

#include <ctime>
#include <functional>
#include <memory>

class MonitorCore {
public:
    using Clock = std::function<std::time_t()>;

    explicit MonitorCore(CommandLine options, Clock clock = {});
    ~MonitorCore();
    MonitorCore(const MonitorCore&) = delete;
    MonitorCore& operator=(const MonitorCore&) = delete;

    // Loads "names.dat", "msn.dat", "caller.his", then "areacode.lst", then the settings, in that
    // order, from the current directory.
    void LoadData();

    // Called on the core's thread for every call the listener delivers, while it waits.
    using CallSink = std::function<void(const IncomingCallNotice&)>;
    // Registers with CAPI and starts the listener; each notice is handed to `deliver`, which must
    // get it to the core's thread and return when it has been handled.
    void StartCallCapture(CallSink deliver);
    void StartSpeech();
    void StartTelnet();

    // The whole handling of one call (on the core's thread).
    void OnIncomingCall(const IncomingCallNotice& notice);

    // What the handler asks of the front end: bring the list back to today.
    std::function<void()> showToday;
    // Headless: each announced call's log line.
    std::function<void(const std::string&)> printLogLine;

    // Normal end: stop and join the listener, then release CAPI and the speech engine.
    void Shutdown();
    // End of the session: stop the listener and drop speech; nothing is saved.
    void EndSession();

    bool SaveSettingsNow(); // writes `settings` as it stands

    std::time_t Now() const { return clock(); }
    const CommandLine& Options() const { return options; }

    Directory phoneBook;
    Directory msnList;
    CallList callList;
    Settings settings{};
    AreaCodeTable areaCodes;

private:
    struct Services;
    CommandLine options;
    Clock clock;
    std::unique_ptr<Services> services;
};

class QObject;
// SIGTERM and SIGINT call `onSignal` on `context`'s thread (through a self-pipe, so nothing but
// a write happens inside the signal handler). One watcher at a time; a second call replaces it.
bool WatchTerminationSignals(QObject* context, std::function<void()> onSignal);
// Puts the default signal actions back and drops the watcher.
void StopWatchingTerminationSignals();
