#include "sources/AmiProtocol.h"

#include "capi/CallNumbers.h"
#include "platform/Text.h"

#include <algorithm>
#include <charconv>

namespace {

bool HoldsLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

std::string_view AmiPacket::Field(std::string_view key) const {
    for (const auto& [name, value] : fields)
        if (EqualIgnoringCase(name, key))
            return value;
    return {};
}

bool AmiPacket::Has(std::string_view key) const {
    return std::any_of(fields.begin(), fields.end(),
                       [&](const auto& field) { return EqualIgnoringCase(field.first, key); });
}

std::optional<AmiPacket> AmiPacketReader::Line(std::string_view line) {
    if (line.empty()) {
        if (current.fields.empty())
            return std::nullopt;
        AmiPacket done = std::move(current);
        current = {};
        return done;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        if (!seenBanner && current.fields.empty()) {
            seenBanner = true;
            banner = std::string(line.substr(0, 256));
        }
        return std::nullopt; // a line of no packet (a command's raw output): skipped
    }
    seenBanner = true;
    if (current.fields.size() >= MaxFields)
        return std::nullopt;
    std::string_view value = line.substr(colon + 1);
    if (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    current.fields.emplace_back(std::string(line.substr(0, std::min<size_t>(colon, 256))),
                                std::string(value.substr(0, 1024)));
    return std::nullopt;
}

void AmiPacketReader::Reset() {
    current = {};
    banner.clear();
    seenBanner = false;
}

std::optional<std::string> AmiLoginAction(std::string_view user, std::string_view secret) {
    if (HoldsLineEnd(user) || HoldsLineEnd(secret))
        return std::nullopt;
    std::string action = "Action: Login\r\nActionID: tavo-login\r\nUsername: ";
    action += user;
    action += "\r\nSecret: ";
    action += secret;
    action += "\r\nEvents: call\r\n\r\n";
    return action;
}

std::string AmiPingAction() { return "Action: Ping\r\nActionID: tavo-ping\r\n\r\n"; }

AmiLoginAnswer LoginAnswerOf(const AmiPacket& packet) {
    if (!packet.Has("Response"))
        return AmiLoginAnswer::None;
    // Answers to the keep-alive carry its own ActionID.
    if (packet.Has("ActionID") && packet.Field("ActionID") != "tavo-login")
        return AmiLoginAnswer::None;
    return EqualIgnoringCase(packet.Field("Response"), "Success") ? AmiLoginAnswer::Accepted
                                                                : AmiLoginAnswer::Refused;
}

std::optional<AmiCall> AmiCallTracker::NewCall(const AmiPacket& event) {
    if (!EqualIgnoringCase(event.Field("Event"), "Newchannel"))
        return std::nullopt;
    if (!context.empty() && event.Field("Context") != context)
        return std::nullopt;
    std::string linkedId(event.Field("Linkedid"));
    const std::string uniqueId(event.Field("Uniqueid"));
    if (linkedId.empty())
        linkedId = uniqueId;
    if (linkedId.empty() || open.count(linkedId) != 0)
        return std::nullopt; // another channel of a call already told
    AmiCall call;
    call.linkedId = linkedId;
    const std::string_view callerId = event.Field("CallerIDNum");
    const std::string number = DiallingCharactersOf(callerId);
    call.callingNumber = number.empty() || EqualIgnoringCase(callerId, "<unknown>") ||
                                 EqualIgnoringCase(callerId, "anonymous")
                             ? "0"
                             : number;
    call.calledNumber = DiallingCharactersOf(event.Field("Exten"));
    call.connectionId = nextId++;
    if (nextId == 0)
        nextId = 1;
    if (open.size() >= MaxOpenCalls) {
        // Ends that never came (a channel the manager did not tell us about): drop the oldest.
        open.erase(order.front());
        order.pop_front();
    }
    Open opened;
    opened.call = call;
    opened.uniqueId = uniqueId;
    open[linkedId] = std::move(opened);
    order.push_back(linkedId);
    return call;
}

bool AmiCallTracker::Answered(const AmiPacket& event, Clock::time_point now) {
    if (!EqualIgnoringCase(event.Field("Event"), "Newstate"))
        return false;
    if (event.Field("ChannelState") != "6" && !EqualIgnoringCase(event.Field("ChannelStateDesc"), "Up"))
        return false;
    std::string linkedId(event.Field("Linkedid"));
    const std::string_view uniqueId = event.Field("Uniqueid");
    if (linkedId.empty())
        linkedId = std::string(uniqueId);
    const auto found = open.find(linkedId);
    if (found == open.end())
        return false;
    Open& call = found->second;
    if (!call.answered) {
        call.answered = true;
        call.answeredAt = now;
    }
    // The device that took the call is the other channel's ("PJSIP/201-0000002a": "201");
    // the trunk's own channel goes up too, and says nothing of where.
    if (call.extension.empty() && uniqueId != call.uniqueId) {
        std::string_view channel = event.Field("Channel");
        if (const size_t slash = channel.find('/'); slash != std::string_view::npos)
            channel.remove_prefix(slash + 1);
        if (const size_t dash = channel.rfind('-'); dash != std::string_view::npos)
            channel = channel.substr(0, dash);
        call.extension = std::string(channel.substr(0, 64));
    }
    return true;
}

std::optional<AmiCallEnd> AmiCallTracker::EndedCall(const AmiPacket& event, Clock::time_point now) {
    if (!EqualIgnoringCase(event.Field("Event"), "Hangup"))
        return std::nullopt;
    std::string linkedId(event.Field("Linkedid"));
    const std::string_view uniqueId = event.Field("Uniqueid");
    if (linkedId.empty())
        linkedId = std::string(uniqueId);
    const auto found = open.find(linkedId);
    if (found == open.end() || (!found->second.uniqueId.empty() && found->second.uniqueId != uniqueId))
        return std::nullopt;
    AmiCallEnd end;
    end.call = found->second.call;
    const std::string_view cause = event.Field("Cause");
    std::from_chars(cause.data(), cause.data() + cause.size(), end.cause);
    end.causeText = std::string(event.Field("Cause-txt"));
    end.answered = found->second.answered;
    end.extension = found->second.extension;
    if (end.answered && now > found->second.answeredAt)
        end.seconds = std::chrono::duration_cast<std::chrono::seconds>(now - found->second.answeredAt).count();
    open.erase(found);
    order.erase(std::find(order.begin(), order.end(), linkedId));
    return end;
}

void AmiCallTracker::Clear() {
    open.clear();
    order.clear();
}
