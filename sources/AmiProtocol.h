#pragma once
// The Asterisk manager interface (TCP 5038) as far as a call monitor needs it: the packets of
// "Key: Value" lines that end with an empty line, the login and keep-alive actions, and the
// calls told by the events of the "call" class, grouped by their Linkedid so that one call is
// one call however many channels it makes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// One packet: its fields in order (keys as sent; Field() compares them without case).
struct AmiPacket {
    std::vector<std::pair<std::string, std::string>> fields;
    // The value of `key`; empty when absent.
    std::string_view Field(std::string_view key) const;
    bool Has(std::string_view key) const;
};

// Gathers lines into packets. The banner the manager sends first ("Asterisk Call Manager/5.0")
// has no "Key: Value" form and is kept apart. A packet with too many lines is cut off.
class AmiPacketReader {
public:
    static constexpr size_t MaxFields = 128;
    // Adds one line without its line end; a packet that is complete is returned.
    std::optional<AmiPacket> Line(std::string_view line);
    const std::string& Banner() const { return banner; }
    void Reset();

private:
    AmiPacket current;
    std::string banner;
    bool seenBanner = false;
};

// The actions TAVO sends; nullopt when a value holds a line end (it would forge another line).
std::optional<std::string> AmiLoginAction(std::string_view user, std::string_view secret);
std::string AmiPingAction();

enum class AmiLoginAnswer { None, Accepted, Refused };
// What a packet says of the login: a "Response" to it, else None.
AmiLoginAnswer LoginAnswerOf(const AmiPacket& packet);

// A call as the manager's events tell it.
struct AmiCall {
    std::string linkedId;
    std::string callingNumber; // "0": withheld
    std::string calledNumber;
    uint32_t connectionId = 0; // made up here, one per call
};

struct AmiCallEnd {
    AmiCall call;
    bool answered = false;  // a channel of the call went up
    std::string extension;  // the device that answered ("201" of "PJSIP/201-0000002a"), if told
    int64_t seconds = 0;    // from the answer to the hang-up
    int cause = 0; // the Hangup's Cause (16: normal clearing)
    std::string causeText;
};

// Follows Newchannel and Hangup events: the first Newchannel of a Linkedid in the configured
// context (empty: every context) is an incoming call; the Hangup of that first channel ends it.
class AmiCallTracker {
public:
    explicit AmiCallTracker(std::string context) : context(std::move(context)) {}
    static constexpr size_t MaxOpenCalls = 1024;

    using Clock = std::chrono::steady_clock;
    std::optional<AmiCall> NewCall(const AmiPacket& event);
    // A Newstate of a channel of an open call that goes up: the call was answered (true).
    bool Answered(const AmiPacket& event, Clock::time_point now);
    std::optional<AmiCallEnd> EndedCall(const AmiPacket& event, Clock::time_point now = Clock::now());
    // Forgets every open call (the connection was lost: their ends will never come).
    void Clear();
    size_t OpenCalls() const { return open.size(); }

private:
    struct Open {
        AmiCall call;
        std::string uniqueId; // the channel that made the call
        bool answered = false;
        std::string extension;
        Clock::time_point answeredAt{};
    };
    std::string context;
    std::unordered_map<std::string, Open> open; // by Linkedid
    std::deque<std::string> order;              // Linkedids, oldest first
    uint32_t nextId = 1;
};
