#pragma once
// The user's rules for screening calls ("rules.conf"): one rule a line, an action and the
// conditions that must all hold, the first rule that holds deciding. Parsing and judging are
// plain functions over plain data, so the monitor, `tavo rules check` and `tavo rules replay`
// judge a call the same way.
//
//   announce known
//   quiet    time=22:00-07:00
//   reject   type=premium
//   reject   list=spam-numbers.txt

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

enum class RuleAction { Announce, Quiet, Reject };

// "announce", "quiet", "reject".
const char* RuleActionName(RuleAction action);

// What libphonenumber says of a number, as `type=` names it.
enum class NumberKind : uint8_t { Premium, TollFree, Mobile, Fixed, Invalid };
constexpr unsigned NumberKindBit(NumberKind kind) { return 1u << unsigned(kind); }

// The numbers of one list file, in the form the line delivers them.
struct NumberList {
    std::string path;
    std::unordered_set<std::string> numbers;
};

struct RuleCondition {
    enum class Kind { Number, Withheld, Known, Unknown, Msn, Type, Time, Days, Repeat, List };
    Kind kind = Kind::Withheld;
    std::string text;               // Number: the pattern; Msn: the number
    NumberKind numberKind{};        // Type
    int fromMinute = 0;             // Time: [from, to) in minutes of the day, may wrap
    int toMinute = 0;
    uint8_t weekdays = 0;           // Days: bit 0 Sunday .. bit 6 Saturday, as tm_wday
    int repeatCount = 0;            // Repeat: at least this many calls ...
    int repeatMinutes = 0;          // ... in the last this many minutes
    std::shared_ptr<const NumberList> list; // List
};

struct CallRule {
    int line = 0;     // its line in the file, from 1
    std::string text; // the line as written without its comment, blanks collapsed
    RuleAction action = RuleAction::Announce;
    std::vector<RuleCondition> conditions;
};

struct RuleFault {
    std::string file; // the file the fault is in (the rules file or a list file)
    int line = 0;
    std::string what;
};

struct CallRules {
    std::vector<CallRule> rules;
    bool HasReject() const;
    // The list files the rules read, for watching them.
    std::vector<std::string> ListFiles() const;
};

struct RulesParse {
    CallRules rules;
    std::vector<RuleFault> faults; // empty when the file is good
};

// Reads list files as the rules name them; the default reads the file from the disk. Returns
// nullopt when the file cannot be read, with `error` saying why.
using ListFileReader = std::function<std::optional<std::string>(const std::string& path,
                                                                std::string& error)>;

// `text` is the rules file's content; `path` names it in faults and is where `list=` files are
// found relative to. `country` is the user's, for bringing list numbers into the line's form.
RulesParse ParseCallRules(std::string_view text, const std::string& path,
                          const std::string& country, const ListFileReader& readList = {});

// A list file's content -> its numbers; a line that is no phone number is a fault.
std::shared_ptr<NumberList> ParseNumberList(std::string_view text, const std::string& path,
                                            const std::string& country,
                                            std::vector<RuleFault>& faults);

// What is known of one call when it is judged.
struct CallFacts {
    std::string calling;  // as the line delivers it; "0": withheld
    std::string called;   // the MSN
    std::time_t time = 0; // judged in local time
    bool inPhoneBook = false;
    // Calls from `calling` before this one whose time lies in [since, time]; only asked for a
    // number that is not withheld.
    std::function<int(std::time_t since)> earlierCallsSince;
    // What libphonenumber says of `calling`, as bits (1 << NumberKind): a number may be fixed
    // and mobile at once. Asked at most once per call.
    std::function<unsigned()> numberKinds;
};

struct RuleVerdict {
    const CallRule* rule = nullptr; // none: no rule held, the call is announced
    RuleAction action = RuleAction::Announce;
};

RuleVerdict JudgeCall(const CallRules& rules, const CallFacts& facts);

// `*` matches any run of digits (none included); every other character stands for itself.
bool NumberMatchesPattern(std::string_view number, std::string_view pattern);

// True for the mark of a withheld number.
inline bool IsWithheldNumber(std::string_view calling) { return calling == "0"; }
