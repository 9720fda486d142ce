#pragma once
// What the screening rules decided for each call, kept beside "caller.his" (whose format has no
// room for it) in "caller.verdicts": one text line per call a rule decided,
//   TIME<TAB>PLCI<TAB>CALLING<TAB>ACTION<TAB>LINE<TAB>RULE TEXT<LF>
// appended and flushed to the disk before the call is shown, as the history's journal is. A
// call is found again by its time and calling number ("caller.his" keeps no PLCI, so a call
// loaded from it has none to match). Calls no rule decided have no line,
// so without rules the file never exists. Used on the core's thread only.

#include "core/CallRules.h"
#include "data/CallList.h"

#include <string>
#include <unordered_map>

struct StoredVerdict {
    RuleAction action = RuleAction::Announce;
    int line = 0;     // the rule's line in the rules file when it decided
    std::string rule; // the rule's text then
};

class CallVerdicts {
public:
    static constexpr const char* FileName = "caller.verdicts";

    // Reads the verdicts of `path`; a missing file holds none. A last line cut short by a crash
    // is cut off the file, so that the next line starts on a line of its own; lines that do not
    // read are skipped. False with `error` set when the file cannot be read.
    // `cutTornLine` false reads without changing the file (a command reading it while the
    // monitor may be appending to it): a last line without its end is only skipped.
    bool Load(const std::string& path, std::string& error, bool cutTornLine = true);

    // Appends the verdict for `call` (when a rule decided it) and waits until it is on the disk.
    bool Record(const std::string& path, const CallRecord& call, const RuleVerdict& verdict,
                std::string& error);

    // The verdict kept for `call`; nullptr when no rule decided it.
    const StoredVerdict* Find(const CallRecord& call) const;
    size_t size() const { return verdicts.size(); }

private:
    std::unordered_map<std::string, StoredVerdict> verdicts;
};

// The file's line for one verdict, with its line end.
std::string VerdictLine(const CallRecord& call, const RuleVerdict& verdict);
