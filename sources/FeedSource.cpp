#include "sources/FeedSource.h"

std::string FeedProtocol::Line(std::string_view line, SourceListener& listener) {
    const std::optional<FeedEvent> event = ParseFeedLine(line);
    if (!event) {
        if (!line.empty())
            ++unread;
        return {};
    }
    switch (event->kind) {
    case FeedEvent::Kind::Ring: {
        IncomingCallNotice notice;
        notice.callingNumber = event->caller.empty() ? "0" : event->caller;
        notice.calledNumber = event->called;
        notice.connectionId = event->id;
        notice.cipValue = TelephonyCip;
        // The router reuses ids once a call has ended; a call whose end was never told is
        // simply replaced. The table stays as small as the router's own.
        if (ringing.size() >= 4096)
            ringing.clear();
        CallOutcome& outcome = ringing[event->id].outcome;
        outcome = {};
        outcome.connectionId = event->id;
        outcome.callingNumber = notice.callingNumber;
        outcome.calledNumber = notice.calledNumber;
        listener.Call(notice);
        break;
    }
    case FeedEvent::Kind::Connect:
        if (auto found = ringing.find(event->id); found != ringing.end()) {
            found->second.outcome.answered = true;
            found->second.outcome.extension = event->extension;
        }
        break;
    case FeedEvent::Kind::Disconnect:
        if (auto found = ringing.find(event->id); found != ringing.end()) {
            CallOutcome outcome = std::move(found->second.outcome);
            ringing.erase(found);
            outcome.seconds = outcome.answered ? event->seconds : 0;
            listener.Outcome(outcome);
        }
        break;
    case FeedEvent::Kind::Call:
        break; // an outgoing call: not ours to announce
    }
    return {};
}
