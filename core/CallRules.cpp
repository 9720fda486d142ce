#include "core/CallRules.h"

#include "core/PhoneNumbers.h"
#include "platform/FileBytes.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <map>

namespace {

constexpr std::array<const char*, 7> DayNames = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return lower;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

// A whole number in [min, max]; nullopt otherwise.
std::optional<int> Number(std::string_view text, int min, int max) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || value < min ||
        value > max)
        return std::nullopt;
    return value;
}

// "HH:MM" -> minutes of the day; 24:00 only where `allowEnd`.
std::optional<int> MinuteOfDay(std::string_view text, bool allowEnd) {
    if (text.size() != 5 || text[2] != ':')
        return std::nullopt;
    const std::optional<int> hours = Number(text.substr(0, 2), 0, 24);
    const std::optional<int> minutes = Number(text.substr(3, 2), 0, 59);
    if (!hours || !minutes || (*hours == 24 && (!allowEnd || *minutes != 0)))
        return std::nullopt;
    return *hours * 60 + *minutes;
}

std::optional<int> DayIndex(std::string_view name) {
    const std::string lower = Lower(name);
    for (size_t day = 0; day < DayNames.size(); ++day)
        if (lower == DayNames[day])
            return int(day);
    return std::nullopt;
}

// "mon-fri", "sat,sun", "fri-mon" -> bits as tm_wday; nullopt with `error` set when malformed.
std::optional<uint8_t> Weekdays(std::string_view list, std::string& error) {
    uint8_t bits = 0;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string_view::npos)
            comma = list.size();
        const std::string_view item = list.substr(start, comma - start);
        const size_t dash = item.find('-');
        const std::optional<int> first = DayIndex(item.substr(0, dash));
        const std::optional<int> last =
            dash == std::string_view::npos ? first : DayIndex(item.substr(dash + 1));
        if (!first || !last) {
            error = "\"" + std::string(item) + "\" is not a day or a range of days (mon..sun)";
            return std::nullopt;
        }
        // A range goes forward through the week and may wrap past Sunday.
        for (int day = *first;; day = (day + 1) % 7) {
            bits = uint8_t(bits | (1u << day));
            if (day == *last)
                break;
        }
        start = comma + 1;
    }
    return bits;
}

bool IsPatternText(std::string_view text) {
    if (text.empty())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || c == '*' || (c == '+' && i == 0)))
            return false;
    }
    return true;
}

bool IsDiallingText(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '*' || c == '#' || c == '+'))
            return false;
    return true;
}

bool HasDigit(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::string> ReadFromDisk(const std::string& path, std::string& error) {
    FileReadResult file = ReadFileBytes(path, MissingFile::Fail);
    if (!file.opened) {
        error = file.error.empty() ? "cannot be read" : file.error;
        return std::nullopt;
    }
    return file.bytes;
}

std::string RelativeTo(const std::string& rulesPath, const std::string& name) {
    const std::filesystem::path listPath(name);
    if (listPath.is_absolute())
        return name;
    return (std::filesystem::path(rulesPath).parent_path() / listPath).lexically_normal().string();
}

class RuleParser {
public:
    RuleParser(const std::string& path, const std::string& country, const ListFileReader& readList)
        : path(path), country(country), readList(readList ? readList : ListFileReader(ReadFromDisk)) {}

    void Line(std::string_view line, int number, RulesParse& out) {
        const size_t hash = line.find('#');
        if (hash != std::string_view::npos)
            line = line.substr(0, hash);
        const std::vector<std::string_view> words = Words(line);
        if (words.empty())
            return;
        CallRule rule;
        rule.line = number;
        for (std::string_view word : words)
            rule.text += (rule.text.empty() ? "" : " ") + std::string(word);
        const std::string action = Lower(words[0]);
        if (action == "announce")
            rule.action = RuleAction::Announce;
        else if (action == "quiet")
            rule.action = RuleAction::Quiet;
        else if (action == "reject")
            rule.action = RuleAction::Reject;
        else
            return Fault(out, number, "unknown action \"" + std::string(words[0]) +
                                          "\" (announce, quiet or reject)");
        bool good = true;
        for (size_t i = 1; i < words.size(); ++i) {
            std::optional<RuleCondition> condition = Condition(words[i], number, out);
            if (condition)
                rule.conditions.push_back(std::move(*condition));
            else
                good = false;
        }
        if (good)
            out.rules.rules.push_back(std::move(rule));
    }

private:
    void Fault(RulesParse& out, int line, std::string what) {
        out.faults.push_back({path, line, std::move(what)});
    }

    std::optional<RuleCondition> Condition(std::string_view word, int line, RulesParse& out) {
        RuleCondition condition;
        const size_t equals = word.find('=');
        const std::string name = Lower(word.substr(0, equals));
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
        const auto bad = [&](const std::string& what) -> std::optional<RuleCondition> {
            Fault(out, line, what);
            return std::nullopt;
        };
        if (equals == std::string_view::npos) {
            if (name == "withheld")
                condition.kind = RuleCondition::Kind::Withheld;
            else if (name == "known")
                condition.kind = RuleCondition::Kind::Known;
            else if (name == "unknown")
                condition.kind = RuleCondition::Kind::Unknown;
            else if (name == "number" || name == "msn" || name == "type" || name == "time" ||
                     name == "days" || name == "repeat" || name == "list")
                return bad("\"" + name + "\" needs a value (" + name + "=...)");
            else
                return bad("unknown condition \"" + std::string(word) + "\"");
            return condition;
        }
        if (value.empty())
            return bad("\"" + name + "=\" has no value");
        if (name == "number") {
            if (!IsPatternText(value))
                return bad("number pattern \"" + std::string(value) +
                           "\" may hold only digits, * and a leading +");
            condition.kind = RuleCondition::Kind::Number;
            condition.text = std::string(value);
        } else if (name == "msn") {
            if (!IsDiallingText(value))
                return bad("msn \"" + std::string(value) + "\" is not a number");
            condition.kind = RuleCondition::Kind::Msn;
            condition.text = std::string(value);
        } else if (name == "type") {
            static const std::map<std::string, NumberKind> kinds = {
                {"premium", NumberKind::Premium}, {"tollfree", NumberKind::TollFree},
                {"mobile", NumberKind::Mobile},   {"fixed", NumberKind::Fixed},
                {"invalid", NumberKind::Invalid}};
            const auto kind = kinds.find(Lower(value));
            if (kind == kinds.end())
                return bad("unknown type \"" + std::string(value) +
                           "\" (premium, tollfree, mobile, fixed or invalid)");
            condition.kind = RuleCondition::Kind::Type;
            condition.numberKind = kind->second;
        } else if (name == "time") {
            const size_t dash = value.find('-');
            const std::optional<int> from =
                dash == std::string_view::npos ? std::nullopt : MinuteOfDay(value.substr(0, dash), false);
            const std::optional<int> to =
                dash == std::string_view::npos ? std::nullopt : MinuteOfDay(value.substr(dash + 1), true);
            if (!from || !to)
                return bad("bad time \"" + std::string(value) + "\" (HH:MM-HH:MM, e.g. 22:00-07:00)");
            if (*from == *to % (24 * 60))
                return bad("time \"" + std::string(value) + "\" starts where it ends");
            condition.kind = RuleCondition::Kind::Time;
            condition.fromMinute = *from;
            condition.toMinute = *to;
        } else if (name == "days") {
            std::string error;
            const std::optional<uint8_t> days = Weekdays(value, error);
            if (!days)
                return bad(error);
            condition.kind = RuleCondition::Kind::Days;
            condition.weekdays = *days;
        } else if (name == "repeat") {
            const size_t slash = value.find('/');
            const std::optional<int> count =
                slash == std::string_view::npos ? std::nullopt : Number(value.substr(0, slash), 1, 1000000);
            const std::optional<int> minutes =
                slash == std::string_view::npos ? std::nullopt : Number(value.substr(slash + 1), 1, 5256000);
            if (!count || !minutes)
                return bad("bad repeat \"" + std::string(value) +
                           "\" (N/MIN: N calls in the last MIN minutes, e.g. 2/5)");
            condition.kind = RuleCondition::Kind::Repeat;
            condition.repeatCount = *count;
            condition.repeatMinutes = *minutes;
        } else if (name == "list") {
            const std::string listPath = RelativeTo(path, std::string(value));
            auto known = lists.find(listPath);
            if (known == lists.end()) {
                std::string error;
                std::shared_ptr<NumberList> list;
                if (const std::optional<std::string> text = readList(listPath, error))
                    list = ParseNumberList(*text, listPath, country, out.faults);
                else
                    Fault(out, line, "list file \"" + listPath + "\": " + error);
                known = lists.emplace(listPath, std::move(list)).first;
            }
            if (!known->second)
                return std::nullopt; // told where it was first read
            condition.kind = RuleCondition::Kind::List;
            condition.list = known->second;
        } else {
            return bad("unknown condition \"" + name + "\"");
        }
        return condition;
    }

    const std::string& path;
    const std::string& country;
    ListFileReader readList;
    std::map<std::string, std::shared_ptr<NumberList>> lists;
};

bool InTimeWindow(const RuleCondition& condition, int minute) {
    if (condition.fromMinute < condition.toMinute)
        return minute >= condition.fromMinute && minute < condition.toMinute;
    return minute >= condition.fromMinute || minute < condition.toMinute; // across midnight
}

} // namespace

const char* RuleActionName(RuleAction action) {
    switch (action) {
    case RuleAction::Announce:
        return "announce";
    case RuleAction::Quiet:
        return "quiet";
    case RuleAction::Reject:
        return "reject";
    }
    return "announce";
}

bool CallRules::HasReject() const {
    return std::any_of(rules.begin(), rules.end(),
                       [](const CallRule& rule) { return rule.action == RuleAction::Reject; });
}

std::vector<std::string> CallRules::ListFiles() const {
    std::vector<std::string> files;
    for (const CallRule& rule : rules)
        for (const RuleCondition& condition : rule.conditions)
            if (condition.list &&
                std::find(files.begin(), files.end(), condition.list->path) == files.end())
                files.push_back(condition.list->path);
    return files;
}

std::shared_ptr<NumberList> ParseNumberList(std::string_view text, const std::string& path,
                                            const std::string& country,
                                            std::vector<RuleFault>& faults) {
    auto list = std::make_shared<NumberList>();
    list->path = path;
    const bool canNormalise = IsKnownCountry(country);
    const std::optional<HomeDialling> home = HomeDiallingOf(country);
    int lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (const size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        while (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1);
        while (!line.empty() && IsBlank(line.back()))
            line.remove_suffix(1);
        if (line.empty())
            continue;
        // Most lists hold numbers as the line delivers them: no need to ask libphonenumber.
        if (std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            list->numbers.emplace(line);
            continue;
        }
        if (!canNormalise) {
            faults.push_back({path, lineNumber,
                              "\"" + std::string(line) +
                                  "\" is not written as the line delivers numbers (digits only), "
                                  "and no country is set to read it"});
            continue;
        }
        // Written the way the own country writes its numbers: still no need to ask.
        if (std::optional<std::string> plain = PlainLineForm(line, *home)) {
            list->numbers.insert(std::move(*plain));
            continue;
        }
        const LineNumber number = NumberAsLineDelivers(std::string(line), country);
        if (number.number.empty())
            faults.push_back({path, lineNumber, "\"" + std::string(line) + "\": " + number.error});
        else
            list->numbers.insert(number.number);
    }
    return list;
}

RulesParse ParseCallRules(std::string_view text, const std::string& path,
                          const std::string& country, const ListFileReader& readList) {
    RulesParse out;
    RuleParser parser(path, country, readList);
    int lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        parser.Line(text.substr(start, end - start), ++lineNumber, out);
        start = end + 1;
    }
    return out;
}

bool NumberMatchesPattern(std::string_view number, std::string_view pattern) {
    // Iterative glob with one backtrack point: linear for the patterns people write.
    size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < number.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == number[n]) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos && number[starN] >= '0' && number[starN] <= '9') {
            // The star takes one more digit.
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

RuleVerdict JudgeCall(const CallRules& rules, const CallFacts& facts) {
    const bool withheld = IsWithheldNumber(facts.calling);
    // A number the rules can speak of: not withheld, not the network's "no number" marks.
    const bool hasNumber = !withheld && HasDigit(facts.calling);
    std::optional<unsigned> kinds;
    std::optional<std::tm> local;
    const auto localTime = [&]() -> const std::tm& {
        if (!local) {
            std::tm tm{};
            localtime_r(&facts.time, &tm);
            local = tm;
        }
        return *local;
    };
    const auto holds = [&](const RuleCondition& condition) {
        switch (condition.kind) {
        case RuleCondition::Kind::Number:
            return hasNumber && NumberMatchesPattern(facts.calling, condition.text);
        case RuleCondition::Kind::Withheld:
            return withheld;
        case RuleCondition::Kind::Known:
            return !withheld && facts.inPhoneBook;
        case RuleCondition::Kind::Unknown:
            return !withheld && !facts.inPhoneBook;
        case RuleCondition::Kind::Msn:
            return facts.called == condition.text;
        case RuleCondition::Kind::Type:
            if (!hasNumber)
                return false;
            if (!kinds)
                kinds = facts.numberKinds ? facts.numberKinds() : 0u;
            return (*kinds & NumberKindBit(condition.numberKind)) != 0;
        case RuleCondition::Kind::Time: {
            const std::tm& tm = localTime();
            return InTimeWindow(condition, tm.tm_hour * 60 + tm.tm_min);
        }
        case RuleCondition::Kind::Days:
            return (condition.weekdays & (1u << localTime().tm_wday)) != 0;
        case RuleCondition::Kind::Repeat: {
            if (!hasNumber)
                return false;
            const std::time_t since = facts.time - std::time_t(condition.repeatMinutes) * 60 + 1;
            const int earlier = facts.earlierCallsSince ? facts.earlierCallsSince(since) : 0;
            return earlier + 1 >= condition.repeatCount; // this call included
        }
        case RuleCondition::Kind::List:
            return hasNumber && condition.list->numbers.count(facts.calling) != 0;
        }
        return false;
    };
    for (const CallRule& rule : rules.rules)
        if (std::all_of(rule.conditions.begin(), rule.conditions.end(), holds))
            return {&rule, rule.action};
    return {};
}
