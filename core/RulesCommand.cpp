#include "core/RulesCommand.h"

#include "core/HistoryExport.h"
#include "core/NumberKinds.h"
#include "core/UserCountry.h"
#include "data/DirectoryIndex.h"
#include "data/ListFile.h"
#include "platform/DataDirectory.h"
#include "platform/FileBytes.h"
#include "platform/XdgDirectories.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

std::string RulesFilePath() { return TavoConfigDirectory() + "/rules.conf"; }

RulesParse LoadCallRules(const std::string& path, const std::string& country) {
    const FileReadResult file = ReadFileBytes(path, MissingFile::Fail);
    if (!file.opened) {
        RulesParse failed;
        failed.faults.push_back({path, 0, file.error.empty() ? "cannot be read" : file.error});
        return failed;
    }
    return ParseCallRules(std::string_view(file.bytes.data(), file.bytes.size()), path, country);
}

std::string FaultLine(const RuleFault& fault) {
    if (fault.line <= 0)
        return fault.file + ": " + fault.what;
    return fault.file + ":" + std::to_string(fault.line) + ": " + fault.what;
}

void CallTimesByNumber::Add(const std::string& number, std::time_t time) {
    std::vector<int64_t>& list = times[number];
    // Calls come in time order but for a clock that went wrong: keep the list sorted anyway.
    list.insert(std::upper_bound(list.begin(), list.end(), int64_t(time)), int64_t(time));
}

int CallTimesByNumber::CountBetween(const std::string& number, std::time_t since,
                                    std::time_t until) const {
    const auto found = times.find(number);
    if (found == times.end())
        return 0;
    const std::vector<int64_t>& list = found->second;
    return int(std::upper_bound(list.begin(), list.end(), int64_t(until)) -
               std::lower_bound(list.begin(), list.end(), int64_t(since)));
}

ReplayCounts ReplayRules(const CallRules& rules, const CallList& calls, const Directory& phoneBook,
                         const std::string& country, std::optional<int64_t> from,
                         std::optional<int64_t> to) {
    ReplayCounts counts;
    counts.perRule.assign(rules.rules.size(), 0);
    const DirectoryIndex book(phoneBook);
    CallTimesByNumber earlier;
    for (const CallRecord& call : calls) {
        const std::string calling = TextOf(call.value);
        const bool countable = !IsWithheldNumber(calling) &&
                               std::any_of(calling.begin(), calling.end(),
                                           [](char c) { return c >= '0' && c <= '9'; });
        const bool inRange = call.hasTime && (!from || call.callTime >= *from) &&
                             (!to || call.callTime < *to);
        if (inRange) {
            CallFacts facts;
            facts.calling = calling;
            facts.called = TextOf(call.key);
            facts.time = call.callTime;
            facts.inPhoneBook = book.findByKey(calling) != nullptr;
            facts.earlierCallsSince = [&](std::time_t since) {
                return earlier.CountBetween(calling, since, call.callTime);
            };
            facts.numberKinds = [&] { return NumberKindsOf(calling, country); };
            const RuleVerdict verdict = JudgeCall(rules, facts);
            if (verdict.rule)
                ++counts.perRule[size_t(verdict.rule - rules.rules.data())];
            else
                ++counts.undecided;
        }
        if (countable && call.hasTime)
            earlier.Add(calling, call.callTime);
    }
    return counts;
}

namespace {

bool LoadIfThere(CallList& list, const std::string& path) {
    std::string error;
    if (LoadListFileIfThere(list, path, error))
        return true;
    std::fprintf(stderr, "tavo rules: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

} // namespace

int RunRulesCommand(const CommandLine& options) {
    const std::string path = options.rulesFile ? *options.rulesFile : RulesFilePath();
    std::error_code ec;
    if (!options.rulesFile && !std::filesystem::exists(path, ec)) {
        std::printf("no rules file %s: every call is announced\n", path.c_str());
        return 0;
    }
    // The country only matters for list numbers written with blanks or a + and for type=.
    const CountryChoice country = ChooseCountry(options.country);
    const RulesParse parsed = LoadCallRules(path, country.country);
    for (const RuleFault& fault : parsed.faults)
        std::fprintf(stderr, "%s\n", FaultLine(fault).c_str());
    if (!parsed.faults.empty())
        return 2;
    if (!options.rulesReplay) {
        std::printf("%s: %zu rules, good\n", path.c_str(), parsed.rules.rules.size());
        return 0;
    }

    const DataDirectoryChoice dir = ChooseDataDirectory(options.dataDir);
    if (dir.path.empty()) {
        std::fprintf(stderr, "tavo rules: %s\n", dir.error.c_str());
        return 1;
    }
    CallList calls;
    Directory phoneBook;
    if (!LoadIfThere(calls, dir.path + "/caller.his") ||
        !LoadIfThere(phoneBook, dir.path + "/names.dat"))
        return 1;
    const ExportRange range = ExportRangeOf(options.exportFrom, options.exportTo);
    const ReplayCounts counts =
        ReplayRules(parsed.rules, calls, phoneBook, country.country, range.from, range.to);
    for (size_t i = 0; i < parsed.rules.rules.size(); ++i) {
        const CallRule& rule = parsed.rules.rules[i];
        std::printf("%8lld  line %d: %s\n", static_cast<long long>(counts.perRule[i]), rule.line,
                    rule.text.c_str());
    }
    std::printf("%8lld  no rule (announced)\n", static_cast<long long>(counts.undecided));
    return std::ferror(stdout) || std::fflush(stdout) != 0 ? 1 : 0;
}
