#pragma once
// The screening rules the running monitor judges calls by: read from the rules file at
// start-up and again whenever the file or one of its list files changes, without a restart.
//
// Editors save either in place or by writing a new file and renaming it over the old one, so
// the files and their directories are watched, and a change is read only once it has settled:
// the files must read the same twice, some time apart, before they count. A file with faults
// never replaces good rules; the user is told once per change which lines are wrong. Without a
// rules file there are no rules and nothing is said.
//
// Lives on the core's thread, whose Qt event loop delivers the changes; Current() may be asked
// from any thread.

#include "capi/IncomingCallNotice.h"
#include "core/CallRules.h"
#include "data/SharedLists.h"
#include "platform/ThreadSafety.h"
#include "settings/Settings.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QFileSystemWatcher;
class QTimer;

class CallScreening {
public:
    struct Options {
        std::string path;    // the rules file
        std::string country; // the user's, for list numbers and type=
        // Quiet time after the last change before the files are read.
        std::chrono::milliseconds settle{300};
        // The time between the two readings that must agree.
        std::chrono::milliseconds recheck{200};
        // Where what the user must know goes; ShowMessage when empty.
        std::function<void(const std::string&)> tell;
    };

    explicit CallScreening(Options options);
    ~CallScreening();
    CallScreening(const CallScreening&) = delete;
    CallScreening& operator=(const CallScreening&) = delete;

    // Reads the rules file and starts watching it and its list files.
    void Start();

    // The rules in force; null when there are none (every call is announced).
    std::shared_ptr<const CallRules> Current() const EXCLUDES(mutex);
    // Whether the rules in force hold a "reject" rule; any thread.
    bool HasReject() const { return currentHasReject; }
    // Told on this object's thread, with HasReject(), each time that changes.
    void SetRejectListener(std::function<void(bool hasReject)> listener) {
        rejectListener = std::move(listener);
    }
    const std::string& Country() const { return options.country; }
    const std::string& Path() const { return options.path; }
    // The monitor changed the rules file itself: read it again once it has settled, even
    // where it could not be watched (a directory made only now).
    void Reread() { Changed(); }

    // What was read of the files at one moment: the rules file and each list file it names,
    // with a mark for a file that was not there.
    struct Snapshot {
        bool exists = false;
        std::string rules;
        std::vector<std::pair<std::string, std::string>> lists; // path, bytes or the mark
        bool operator==(const Snapshot&) const = default;
    };

private:
    struct Reading {
        Snapshot seen;
        RulesParse parse;
    };
    Reading ReadAndParse() const;
    // The files of `like` read again, without parsing.
    Snapshot ReadAgain(const Snapshot& like) const;
    void Decide(Reading reading, bool atStart);
    void Watch();
    void Changed();
    void Settled();
    void Rechecked();
    void Tell(const std::string& text) const;
    void Use(std::shared_ptr<const CallRules> rules) EXCLUDES(mutex);

    Options options;
    mutable Mutex mutex;
    std::shared_ptr<const CallRules> current GUARDED_BY(mutex);
    std::atomic<bool> currentHasReject{false};
    std::function<void(bool)> rejectListener;
    Snapshot lastSeen;
    Reading pending;
    std::unique_ptr<QFileSystemWatcher> watcher;
    std::unique_ptr<QTimer> settleTimer;
    std::unique_ptr<QTimer> recheckTimer;
};

// What `rules` say of a new call, the facts gathered the one way the monitor judges calls: from
// the notice, whether the caller is in the phone book, and the call list read through `lists`
// for `repeat=` (this call, not yet in the list, counted once). Takes the lists' lock only for
// moments: call it holding none.
RuleVerdict JudgeIncomingCall(const CallRules& rules, const IncomingCallNotice& notice,
                              bool inPhoneBook, std::time_t now, const GuardedLists& lists,
                              const std::string& country);

// Whether a call the line offers now is to be refused: true only when the rules in force decide
// "reject" for it as the call handler would judge it (a call the MSN filter drops is never
// refused). Any thread; the answer comes at once, without waiting for the handler's thread.
bool RefusesIncomingCall(const CallScreening& screening, const IncomingCallNotice& notice,
                         std::time_t now, const GuardedLists& lists,
                         const GuardedSettings& settings);

// The rule line that keeps every call from `calling` quiet or refuses it,
// "quiet number=0301234"; nullopt for what no such rule can name: no number, a withheld one,
// or one with more than digits and a "+" first ("*" would be read as a pattern, a blank or
// "#" would cut the rule).
std::optional<std::string> CallerRuleLine(RuleAction action, std::string_view calling);

// Writes `text` as the rules file at `path`, its directory made when missing, replacing the
// file atomically: a watcher, a crash or a full disk never sees half of it. False with `error`
// set when it cannot be written; the old file is then as it was.
bool SaveRulesFile(const std::string& path, std::string_view text, std::string& error);

// Puts `line` at the top of the rules file at `path` (made when missing), where it decides
// before every other rule, keeping the rest of the file byte for byte.
bool AddRuleAtTop(const std::string& path, const std::string& line, std::string& error);
