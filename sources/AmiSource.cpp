#include "sources/AmiSource.h"

AmiSourceProtocol::AmiSourceProtocol(std::string user, std::string secret, std::string context,
                                     std::chrono::milliseconds pingEvery)
    : user(std::move(user)), secret(std::move(secret)), pingEvery(pingEvery),
      calls(std::move(context)) {}

std::string AmiSourceProtocol::Greeting() {
    refused = false;
    // A user or secret with a line end would forge actions: such a login is refused here.
    std::optional<std::string> login = AmiLoginAction(user, secret);
    if (!login) {
        refused = true;
        return {};
    }
    return *login;
}

std::string AmiSourceProtocol::Line(std::string_view line, SourceListener& listener) {
    std::optional<AmiPacket> packet = reader.Line(line);
    if (!packet || refused)
        return {};
    if (!loggedIn) {
        switch (LoginAnswerOf(*packet)) {
        case AmiLoginAnswer::Accepted:
            loggedIn = true;
            lastPing = std::chrono::steady_clock::now();
            break;
        case AmiLoginAnswer::Refused:
            refused = true;
            break;
        case AmiLoginAnswer::None:
            break; // nothing is a call before the login is accepted
        }
        return {};
    }
    if (std::optional<AmiCall> call = calls.NewCall(*packet)) {
        IncomingCallNotice notice;
        notice.callingNumber = call->callingNumber;
        notice.calledNumber = call->calledNumber;
        notice.connectionId = call->connectionId;
        notice.cipValue = TelephonyCip;
        listener.Call(notice);
    } else if (calls.Answered(*packet, std::chrono::steady_clock::now())) {
        // told with the call's end
    } else if (std::optional<AmiCallEnd> end = calls.EndedCall(*packet)) {
        CallOutcome outcome;
        outcome.connectionId = end->call.connectionId;
        outcome.callingNumber = end->call.callingNumber;
        outcome.calledNumber = end->call.calledNumber;
        outcome.answered = end->answered;
        outcome.extension = end->extension;
        outcome.seconds = end->seconds;
        outcome.cause = end->cause;
        outcome.causeText = end->causeText;
        listener.Outcome(outcome);
    }
    return {};
}

std::string AmiSourceProtocol::Tick(std::chrono::steady_clock::time_point now) {
    if (!loggedIn || now - lastPing < pingEvery)
        return {};
    lastPing = now;
    return AmiPingAction();
}

void AmiSourceProtocol::Disconnected() {
    loggedIn = false;
    reader.Reset();
    calls.Clear();
}
