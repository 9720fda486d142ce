#include "core/IncomingCallHandler.h"

#include "core/CallScreening.h"
#include "core/CallVerdicts.h"
#include "core/HistoryJournal.h"
#include "core/IncomingCallHistory.h"
#include "core/IncomingCallRepeats.h"
#include "core/IncomingCallTexts.h"
#include "platform/FileBytes.h"

#include <cstdio>
#include <utility>

namespace {

// "caller.txt" is a text log with Windows line ends, so that files from either system read the
// same. Each line goes in whole or not at all (a full disk must not glue the next line onto a
// cut one); the call itself goes on either way.
bool AppendLogLine(const std::string& line, std::string& error) {
    return AppendWhole(IncomingCallHandler::LogFileName, line + "\r\n", error);
}

} // namespace

IncomingCallHandler::IncomingCallHandler(IncomingCallParts givenParts)
    : parts(std::move(givenParts)), history(std::make_unique<HistoryWriter>()) {
    if (!parts.clock)
        parts.clock = [] { return std::time(nullptr); };
    history->Prepare(parts.lists.Read()->callList, std::move(parts.historyFile),
                     parts.historySize);
}

void IncomingCallHandler::SetStorageReport(StorageReport report) {
    storageReport = std::move(report);
    history->SetSaveReport(
        [report = storageReport](const std::string&, bool ok, const std::string& error) {
            if (report)
                report(HistoryFileName, ok, error);
        });
}

void IncomingCallHandler::Report(const std::string& file, bool ok, const std::string& error) {
    if (storageReport)
        storageReport(file, ok, error);
}

IncomingCallHandler::~IncomingCallHandler() = default;

void IncomingCallHandler::FlushHistory() {
    history->Flush();
}

bool IncomingCallHandler::FlushHistoryFor(std::chrono::milliseconds timeout) {
    return history->FlushFor(timeout);
}

IncomingCallHandler::Outcome IncomingCallHandler::OnIncomingCall(const IncomingCallNotice& notice) {
    const std::time_t now = parts.clock();
    const Settings settings = parts.settings.Copy();
    ResolvedCall call;
    {
        const auto lists = parts.lists.Read();
        call = ResolveCall(notice.calledNumber, notice.callingNumber, notice.cipValue,
                           lists->msnList, lists->phoneBook, lists->areaCodes);
    }

    Outcome outcome;
    CallRecord* earlier;
    {
        // The same call set-up offered again (another controller, a retry of the network):
        // count it, announce nothing new. The count is raised whatever day the list shows, as
        // the popup's length depends on it and the headless monitor has no list at all.
        const auto lists = parts.lists.Write();
        earlier = RepeatFinder(lists->callList).Find(notice, now);
        if (earlier)
            ++earlier->repeatCount;
    }
    // A repeat of a call the rules kept quiet stays quiet.
    bool quiet = false;
    if (earlier) {
        parts.announcer.RepeatCountChanged(*earlier);
        const StoredVerdict* verdict = parts.verdicts ? parts.verdicts->Find(*earlier) : nullptr;
        quiet = verdict && verdict->action != RuleAction::Announce;
        Screened screened;
        if (verdict)
            screened = {RuleActionName(verdict->action), verdict->rule};
        else if (RulesInForce())
            screened.action = RuleActionName(RuleAction::Announce);
        TellOutputs(call, *earlier, settings, screened, quiet);
        outcome = Outcome::Repeat;
    } else {
        outcome = AnnounceNewCall(notice, call, settings, now);
        quiet = outcome == Outcome::Quiet;
    }

    if (settings.speak && outcome != Outcome::Dropped && !quiet) {
        const std::string unknown = FieldText(settings.unknownSpeakText);
        parts.announcer.Speak(SpeechText(FieldText(settings.speakTemplate), ToSpeech(call, unknown),
                                         FromSpeech(call, unknown)));
    }

    // Every notice saves the history, even one that changed nothing in it.
    if (saveHistory)
        history->RequestSave(parts.lists.Read()->callList, HistoryFileName);
    // Failures are told after the call has been shown: a message box must not hold it up.
    for (const auto& [file, error] : writeResults)
        Report(file, error.empty(), error);
    writeResults.clear();
    if (forOutputs) {
        parts.outputs->OnCall(*forOutputs);
        forOutputs.reset();
    }
    return outcome;
}

IncomingCallHandler::Outcome IncomingCallHandler::AnnounceNewCall(const IncomingCallNotice& notice,
                                                                  const ResolvedCall& call,
                                                                  const Settings& settings,
                                                                  std::time_t now) {
    const std::optional<std::string> msnText = MsnText(call, settings.onlyNamedMsns);
    if (!msnText)
        return Outcome::Dropped;
    const std::string timeText = TimeText(now);
    const std::string callerText = CallerText(call);
    // Held while the verdict points into them.
    const std::shared_ptr<const CallRules> rules =
        parts.screening ? parts.screening->Current() : nullptr;
    const RuleVerdict verdict = Judge(rules, notice, call, now);
    const bool quiet = verdict.action != RuleAction::Announce;

    CallRecord record;
    record.hasTime = true;
    record.callTime = static_cast<int32_t>(now);
    record.key = notice.calledNumber;
    record.value = notice.callingNumber;
    record.repeatCount = 1;
    record.connectionId = notice.connectionId;
    record.cipValue = notice.cipValue;
    CallRecord* const stored = parts.lists.Write()->callList.append(std::move(record));
    if (parts.changeToProgramDirectory)
        parts.changeToProgramDirectory();
    // Kept on the disk before it is shown: a call that was announced survives a crash.
    std::string error;
    history->JournalRecord(*stored, HistoryFileName, error);
    writeResults.emplace_back(JournalPathFor(HistoryFileName), error);
    if (verdict.rule && parts.verdicts) {
        error.clear();
        parts.verdicts->Record(CallVerdicts::FileName, *stored, verdict, error);
        writeResults.emplace_back(CallVerdicts::FileName, error);
    }
    Screened screened;
    if (rules && !rules->rules.empty())
        screened = {RuleActionName(verdict.action), verdict.rule ? verdict.rule->text : ""};
    TellOutputs(call, *stored, settings, screened, quiet);
    CallAnnouncer& announcer = parts.announcer;
    announcer.ShowToday();

    const std::string line = LogLine(timeText, callerText, *msnText, notice.calledNumber);
    error.clear();
    AppendLogLine(line, error);
    writeResults.emplace_back(LogFileName, error);
    if (quiet)
        return Outcome::Quiet;
    announcer.LogLineWritten(line);

    if (settings.displaySeconds != 0 && (!parts.outputs || parts.outputs->OwnPopupWanted()))
        announcer.ShowPopup(PopupText(callerText, *msnText), *stored);
    if (settings.systemBeep)
        announcer.BeepMelody();
    return Outcome::Announced;
}

RuleVerdict IncomingCallHandler::Judge(const std::shared_ptr<const CallRules>& rules,
                                       const IncomingCallNotice& notice, const ResolvedCall& call,
                                       std::time_t now) {
    RuleVerdict verdict = rules ? JudgeIncomingCall(*rules, notice, call.callerName.has_value(),
                                                    now, parts.lists, parts.screening->Country())
                                : RuleVerdict{};
    // What happened on the line stands: a call refused there was judged "reject" a moment ago.
    // Rules changed in that moment name no rule that refused it.
    if (notice.refused && verdict.action != RuleAction::Reject)
        verdict = {nullptr, RuleAction::Reject};
    return verdict;
}

bool IncomingCallHandler::RulesInForce() const {
    const std::shared_ptr<const CallRules> rules =
        parts.screening ? parts.screening->Current() : nullptr;
    return rules && !rules->rules.empty();
}

void IncomingCallHandler::TellOutputs(const ResolvedCall& call, const CallRecord& record,
                                      const Settings& settings, const Screened& screened,
                                      bool quiet) {
    if (!parts.outputs)
        return;
    const std::optional<std::string> msnText = MsnText(call, settings.onlyNamedMsns);
    CallEvent event =
        MakeCallEvent(call, record, PopupText(CallerText(call), msnText.value_or("")));
    // As long as the popup would show it: longer for each repeat when the popup is scaled. A
    // quiet call has no popup, and so no desktop notification standing in for it either.
    event.showSeconds =
        quiet ? 0 : settings.displaySeconds * (settings.popupScaledByCount ? event.repeatCount : 1);
    event.screenAction = screened.action;
    event.screenRule = screened.rule; // the rules file is UTF-8 already
    forOutputs = std::move(event);
}
