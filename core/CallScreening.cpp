#include "core/CallScreening.h"

#include "core/IncomingCallTexts.h"
#include "core/NumberKinds.h"
#include "core/RulesCommand.h"
#include "data/ResolvedCall.h"
#include "platform/FileBytes.h"
#include "platform/ShowMessage.h"

#include <QFileSystemWatcher>
#include <QStringList>
#include <QTimer>

#include <filesystem>

namespace {

// Stands for a file that could not be read; no file's bytes start with a NUL and say this.
const std::string Unreadable("\0unreadable", 11);

std::string FaultText(const std::vector<RuleFault>& faults) {
    std::string text;
    for (const RuleFault& fault : faults)
        text += "\n" + FaultLine(fault);
    return text;
}

QString PathText(const std::string& path) { return QString::fromStdString(path); }

} // namespace

CallScreening::CallScreening(Options givenOptions)
    : options(std::move(givenOptions)), watcher(std::make_unique<QFileSystemWatcher>()),
      settleTimer(std::make_unique<QTimer>()), recheckTimer(std::make_unique<QTimer>()) {
    settleTimer->setSingleShot(true);
    settleTimer->setInterval(options.settle);
    recheckTimer->setSingleShot(true);
    recheckTimer->setInterval(options.recheck);
    QObject::connect(settleTimer.get(), &QTimer::timeout, [this] { Settled(); });
    QObject::connect(recheckTimer.get(), &QTimer::timeout, [this] { Rechecked(); });
    QObject::connect(watcher.get(), &QFileSystemWatcher::fileChanged,
                     [this](const QString&) { Changed(); });
    QObject::connect(watcher.get(), &QFileSystemWatcher::directoryChanged,
                     [this](const QString&) { Changed(); });
}

CallScreening::~CallScreening() = default;

void CallScreening::Start() {
    Decide(ReadAndParse(), true);
    Watch();
}

std::shared_ptr<const CallRules> CallScreening::Current() const {
    MutexLock lock(mutex);
    return current;
}

void CallScreening::Use(std::shared_ptr<const CallRules> rules) {
    const bool hasReject = rules && rules->HasReject();
    {
        MutexLock lock(mutex);
        current = std::move(rules);
    }
    if (currentHasReject.exchange(hasReject) != hasReject && rejectListener)
        rejectListener(hasReject);
}

void CallScreening::Tell(const std::string& text) const {
    if (options.tell)
        options.tell(text);
    else
        ShowMessage(text);
}

CallScreening::Reading CallScreening::ReadAndParse() const {
    Reading reading;
    const FileReadResult file = ReadFileBytes(options.path, MissingFile::Fail);
    std::error_code ec;
    reading.seen.exists = file.opened || std::filesystem::exists(options.path, ec);
    if (!reading.seen.exists)
        return reading;
    if (!file.opened) {
        reading.seen.rules = Unreadable;
        reading.parse.faults.push_back(
            {options.path, 0, file.error.empty() ? "cannot be read" : file.error});
        return reading;
    }
    reading.seen.rules = file.bytes;
    // Each list file's bytes are kept as read for the parse, so that a later reading can tell
    // whether anything changed without parsing again.
    std::vector<std::pair<std::string, std::string>>& lists = reading.seen.lists;
    const ListFileReader reader = [&lists](const std::string& path,
                                           std::string& error) -> std::optional<std::string> {
        FileReadResult list = ReadFileBytes(path, MissingFile::Fail);
        lists.emplace_back(path, list.opened ? list.bytes : Unreadable);
        if (!list.opened) {
            error = list.error.empty() ? "cannot be read" : list.error;
            return std::nullopt;
        }
        return std::move(list.bytes);
    };
    reading.parse = ParseCallRules(file.bytes, options.path, options.country, reader);
    return reading;
}

CallScreening::Snapshot CallScreening::ReadAgain(const Snapshot& like) const {
    Snapshot again;
    const FileReadResult file = ReadFileBytes(options.path, MissingFile::Fail);
    std::error_code ec;
    again.exists = file.opened || std::filesystem::exists(options.path, ec);
    if (!again.exists)
        return again;
    again.rules = file.opened ? file.bytes : Unreadable;
    for (const auto& [path, bytes] : like.lists) {
        (void)bytes;
        const FileReadResult list = ReadFileBytes(path, MissingFile::Fail);
        again.lists.emplace_back(path, list.opened ? list.bytes : Unreadable);
    }
    return again;
}

void CallScreening::Decide(Reading reading, bool atStart) {
    lastSeen = std::move(reading.seen);
    const RulesParse& parse = reading.parse;
    if (!lastSeen.exists) {
        if (Current())
            LogToStandardError("the rules file " + options.path +
                               " is gone: every call is announced");
        Use(nullptr);
        return;
    }
    if (!parse.faults.empty()) {
        if (atStart || !Current())
            Tell("The rules file " + options.path +
                 " has faults, so no rule applies and every call is announced:" +
                 FaultText(parse.faults));
        else
            Tell("The rules file " + options.path +
                 " has faults; the rules read before stay in force:" + FaultText(parse.faults));
        return;
    }
    const bool hadReject = currentHasReject;
    Use(std::make_shared<const CallRules>(parse.rules));
    if (!atStart)
        LogToStandardError("rules read again from " + options.path + ": " +
                           std::to_string(parse.rules.rules.size()) + " rules");
    if (currentHasReject && !hadReject)
        Tell("The calls a \"reject\" rule in " + options.path +
             " decides are refused on a CAPI line; other line sources cannot refuse a call, so "
             "there they are kept quiet.");
}

void CallScreening::Watch() {
    // A file replaced by a rename is a new file: watches are set again after every reading.
    const QStringList watched = watcher->files() + watcher->directories();
    if (!watched.isEmpty())
        watcher->removePaths(watched);
    std::vector<std::string> paths{options.path};
    for (const auto& [path, bytes] : lastSeen.lists)
        paths.push_back(path);
    QStringList wanted;
    std::error_code ec;
    for (const std::string& path : paths) {
        const std::string directory = std::filesystem::path(path).parent_path().string();
        for (const std::string& one : {path, directory.empty() ? std::string(".") : directory})
            if (std::filesystem::exists(one, ec) && !wanted.contains(PathText(one)))
                wanted.push_back(PathText(one));
    }
    if (!wanted.isEmpty())
        watcher->addPaths(wanted);
}

void CallScreening::Changed() {
    // Saving is often several steps (write, close, rename, change of mode): wait until the
    // changes stop.
    recheckTimer->stop();
    settleTimer->start();
}

void CallScreening::Settled() {
    // Most changes in the directories concern other files: read only the bytes first.
    if (ReadAgain(lastSeen) == lastSeen) {
        Watch();
        return;
    }
    pending = ReadAndParse();
    recheckTimer->start();
}

void CallScreening::Rechecked() {
    Reading again = ReadAndParse();
    if (!(again.seen == pending.seen)) {
        // Still being written: wait for two readings that agree.
        pending = std::move(again);
        recheckTimer->start();
        return;
    }
    Decide(std::move(again), false);
    Watch();
}

std::optional<std::string> CallerRuleLine(RuleAction action, std::string_view calling) {
    if (action == RuleAction::Announce || calling.empty() || IsWithheldNumber(calling))
        return std::nullopt;
    // What `number=` takes as itself: digits, a "+" first.
    for (size_t i = 0; i < calling.size(); ++i)
        if (!((calling[i] >= '0' && calling[i] <= '9') || (calling[i] == '+' && i == 0)))
            return std::nullopt;
    if (calling == "+")
        return std::nullopt;
    return std::string(RuleActionName(action)) + " number=" + std::string(calling);
}

bool SaveRulesFile(const std::string& path, std::string_view text, std::string& error) {
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!directory.empty() && !std::filesystem::is_directory(directory, ec)) {
        std::filesystem::create_directories(directory, ec);
        if (ec) {
            error = "cannot make " + directory.string() + ": " + ec.message();
            return false;
        }
    }
    return ReplaceFileAtomically(path, text, 0666, &error);
}

bool AddRuleAtTop(const std::string& path, const std::string& line, std::string& error) {
    std::string text;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        // A file that is there but cannot be read is not replaced by one line.
        FileReadResult file = ReadFileBytes(path, MissingFile::Fail);
        if (!file.opened || !file.error.empty()) {
            error = file.error.empty() ? "cannot be read" : file.error;
            return false;
        }
        text = std::move(file.bytes);
    }
    return SaveRulesFile(path, line + "\n" + text, error);
}

RuleVerdict JudgeIncomingCall(const CallRules& rules, const IncomingCallNotice& notice,
                              bool inPhoneBook, std::time_t now, const GuardedLists& lists,
                              const std::string& country) {
    if (rules.rules.empty())
        return {};
    CallFacts facts;
    facts.calling = notice.callingNumber;
    facts.called = notice.calledNumber;
    facts.time = now;
    facts.inPhoneBook = inPhoneBook;
    facts.earlierCallsSince = [&lists, &facts](std::time_t since) {
        const auto shared = lists.Read();
        int count = 0;
        for (const CallRecord* earlier : shared->callList.inTimeRange(since, facts.time))
            if (earlier->value.view() == facts.calling)
                ++count;
        return count;
    };
    facts.numberKinds = [&facts, &country] { return NumberKindsOf(facts.calling, country); };
    return JudgeCall(rules, facts);
}

bool RefusesIncomingCall(const CallScreening& screening, const IncomingCallNotice& notice,
                         std::time_t now, const GuardedLists& lists,
                         const GuardedSettings& settings) {
    if (!screening.HasReject())
        return false;
    // Held while the verdict points into them.
    const std::shared_ptr<const CallRules> rules = screening.Current();
    if (!rules)
        return false;
    const bool onlyNamedMsns = settings.Read()->onlyNamedMsns;
    ResolvedCall call;
    {
        const auto shared = lists.Read();
        call = ResolveCall(notice.calledNumber, notice.callingNumber, notice.cipValue,
                           shared->msnList, shared->phoneBook, shared->areaCodes);
    }
    if (!MsnText(call, onlyNamedMsns))
        return false;
    return JudgeIncomingCall(*rules, notice, call.callerName.has_value(), now, lists,
                             screening.Country())
               .action == RuleAction::Reject;
}
