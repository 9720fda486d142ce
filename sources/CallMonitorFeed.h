#pragma once
// The call-monitor feed of home routers (TCP port 1012): one text line per event, fields
// separated by ';' with a trailing ';':
//   dd.mm.yy HH:MM:SS;RING;ID;CALLER;CALLED;LINE;         an incoming call (CALLER empty: withheld)
//   dd.mm.yy HH:MM:SS;CALL;ID;EXT;OWN;CALLED;LINE;        an outgoing call
//   dd.mm.yy HH:MM:SS;CONNECT;ID;EXT;NUMBER;              the call ID was answered at EXT
//   dd.mm.yy HH:MM:SS;DISCONNECT;ID;SECONDS;              it ended after SECONDS of talk

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct FeedEvent {
    enum class Kind { Ring, Call, Connect, Disconnect };
    Kind kind = Kind::Ring;
    std::string stamp;   // the router's "dd.mm.yy HH:MM:SS", as sent
    uint32_t id = 0;     // the router's connection id, reused once the call has ended
    std::string caller;  // Ring: the calling number as sent (empty: withheld)
    std::string called;  // Ring: the number called (the MSN)
    std::string line;    // Ring: the router's line name ("SIP0", "POTS")
    std::string extension; // Connect: where it was answered
    int64_t seconds = 0; // Disconnect: how long it lasted
};

// One line without its line end; nullopt for a line that is not an event this reads (a
// malformed one, or an event of a newer firmware).
std::optional<FeedEvent> ParseFeedLine(std::string_view line);
