#pragma once
// tavo rules check [FILE]: exit 0 when the rules file is good, else 2 with one line per fault,
// "FILE:LINE: what is wrong", on standard error.
// tavo rules replay [--from DATE] [--to DATE] [FILE]: what the rules would have done with every
// call of the history, each judged at its own time, counted per rule.

#include "core/CallRules.h"
#include "core/CommandLine.h"
#include "data/CallList.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Where the user's rules live: TavoConfigDirectory()/rules.conf.
std::string RulesFilePath();

// Reads and parses a rules file; a file that cannot be read is one fault (line 0).
RulesParse LoadCallRules(const std::string& path, const std::string& country);

// "FILE:LINE: what is wrong" (no line part for line 0).
std::string FaultLine(const RuleFault& fault);

// The times of the calls of each number, for `repeat=` over a history walked in order.
class CallTimesByNumber {
public:
    void Add(const std::string& number, std::time_t time);
    // Calls of `number` added so far with a time in [since, until].
    int CountBetween(const std::string& number, std::time_t since, std::time_t until) const;

private:
    std::unordered_map<std::string, std::vector<int64_t>> times; // each kept sorted
};

struct ReplayCounts {
    std::vector<int64_t> perRule; // in the order of the rules
    int64_t undecided = 0;        // calls no rule decided
};

// Judges every call of `calls` whose time lies in [from, to) (unset: open) at its own time;
// repeats are counted from all calls before it, in or out of the range.
ReplayCounts ReplayRules(const CallRules& rules, const CallList& calls, const Directory& phoneBook,
                         const std::string& country, std::optional<int64_t> from,
                         std::optional<int64_t> to);

int RunRulesCommand(const CommandLine& options);
