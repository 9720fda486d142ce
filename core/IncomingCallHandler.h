#pragma once
// Everything the monitor does about one incoming call, in its fixed order: the repeat check,
// the MSN filter, the record in the call list, today's view, the log line in "caller.txt", the
// popup, the beep melody, the spoken announcement and the save of "caller.his". A new record is
// journaled (flushed to the disk) before anything about it is shown.
//
// The handler draws nothing itself: what a front end shows or plays goes through CallAnnouncer,
// which the main window implements with its widgets and the headless monitor with standard
// output. The handler keeps no call data between notices; what it keeps (a short-cut for the
// repeat check, the writer of "caller.his") only makes the same results cheap on a long history.

#include "capi/IncomingCallNotice.h"
#include "core/CallRules.h"
#include "data/ResolvedCall.h"
#include "data/SharedLists.h"
#include "outputs/OutputHub.h"
#include "platform/FileBytes.h"
#include "settings/Settings.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class CallAnnouncer {
public:
    virtual ~CallAnnouncer() = default;
    // Select today's tab and refill the list, so that it shows the new call.
    virtual void ShowToday() = 0;
    // A repeated notice raised the record's repeatCount.
    virtual void RepeatCountChanged(const CallRecord& record) { (void)record; }
    // The line just appended to "caller.txt" for an announced call (the headless monitor prints
    // it); a call the rules keep quiet has its line in the file but not here.
    virtual void LogLineWritten(const std::string& line) { (void)line; }
    // Start a popup with `text` for the call's record (which stays valid in the call list).
    virtual void ShowPopup(const std::string& text, CallRecord& record) = 0;
    // Play the four-tone beep melody.
    virtual void BeepMelody() = 0;
    // Hand the announcement to the speech engine; a front end without one ignores it.
    virtual void Speak(const std::string& text) = 0;
};

class CallScreening;
class CallVerdicts;

struct IncomingCallParts {
    // Written on the handler's thread only, so records it appended stay valid to read there.
    GuardedLists& lists;
    GuardedSettings& settings;
    CallAnnouncer& announcer;
    // The time of day; std::time when empty.
    std::function<std::time_t()> clock;
    // Returns to the data directory before "caller.txt" is opened; nothing when empty.
    std::function<void()> changeToProgramDirectory;
    // Where each announced call and each repeat also goes (NCID, MQTT, notifications, a
    // command); none when null. It also says whether the own popup shows the call.
    OutputHub* outputs = nullptr;
    // The history file, open, when its first historySize bytes are exactly what saving
    // `callList` writes: the first save then copies it instead of encoding the whole list.
    FileHandle historyFile = {};
    size_t historySize = 0;
    // The user's screening rules and the verdicts kept for calls; without them (or without
    // rules in force) every call is announced and nothing more is written.
    CallScreening* screening = nullptr;
    CallVerdicts* verdicts = nullptr;
};

class HistoryWriter;

class IncomingCallHandler {
public:
    static constexpr const char* LogFileName = "caller.txt";
    static constexpr const char* HistoryFileName = "caller.his";

    // Quiet: a new call a rule keeps quiet (or would refuse): recorded and sent to the outputs,
    // but neither shown, played nor spoken.
    enum class Outcome { Announced, Quiet, Repeat, Dropped };

    // Reads the call list once (for the repeat check and the history's bytes): construct it at
    // start-up, after the lists are loaded.
    explicit IncomingCallHandler(IncomingCallParts parts);
    // Waits for the last save of "caller.his".
    ~IncomingCallHandler();
    IncomingCallHandler(const IncomingCallHandler&) = delete;
    IncomingCallHandler& operator=(const IncomingCallHandler&) = delete;

    // Takes the settings' and the lists' locks for short moments: call it holding neither.
    Outcome OnIncomingCall(const IncomingCallNotice& notice);

    // Waits until "caller.his" holds every call handled so far.
    void FlushHistory();
    // The same for at most `timeout`; false when the save is still going on.
    bool FlushHistoryFor(std::chrono::milliseconds timeout);

    // Where the outcome of each write of "caller.his", its journal and "caller.txt" goes (to
    // tell the user of failures once). Set before the first call.
    using StorageReport =
        std::function<void(const std::string& file, bool ok, const std::string& error)>;
    void SetStorageReport(StorageReport report);
    // "caller.his" could not be read and must not be replaced: new calls go only to its
    // journal, which is folded in at a start-up that can read the file again.
    void KeepHistoryFileAsItIs() { saveHistory = false; }

private:
    // A call not seen before: record, log, popup and beep. Dropped when the MSN filter says so.
    Outcome AnnounceNewCall(const IncomingCallNotice& notice, const ResolvedCall& call,
                            const Settings& settings, std::time_t now);
    // What the rules in force say of a new call; no rule when there are none.
    RuleVerdict Judge(const std::shared_ptr<const CallRules>& rules,
                      const IncomingCallNotice& notice, const ResolvedCall& call, std::time_t now);

    void Report(const std::string& file, bool ok, const std::string& error);
    // Makes the call's event for the outputs; it is handed over once the call's own handling
    // (popup, speech, history) has been started, so the outputs' threads never compete with it.
    // What the outputs are told of the rules: no action while none are in force.
    struct Screened {
        std::string action;
        std::string rule;
    };
    bool RulesInForce() const;
    void TellOutputs(const ResolvedCall& call, const CallRecord& record, const Settings& settings,
                     const Screened& screened, bool quiet);
    std::optional<CallEvent> forOutputs;

    IncomingCallParts parts;
    StorageReport storageReport;
    bool saveHistory = true;
    // The files written for the call being handled and why each failed ("" when it did not).
    std::vector<std::pair<std::string, std::string>> writeResults;
    std::unique_ptr<HistoryWriter> history;
};
