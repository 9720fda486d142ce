#pragma once
// A change on the line as the listener and the line supervisor see it. The log of line events is
// written from it (LineReportText) and the outputs' line state is taken from its kind, so a
// reworded log line changes nothing else.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct LineReport {
    enum class Kind {
        Listening,              // count: controllers listened on, the first time
        ListeningAgain,         // count: controllers, after the line was lost
        ConnectionLost,         // the connection to CAPI went away
        RegistrationFailed,     // text: the registration's error
        RetryingIn,             // seconds: until the next registration
        Undecodable,            // code: CAPI's or the decoder's result; count: the octets
                                // handed over; bytes: the first of them
        ProcessEnded,           // text: how the line process ended; seconds: until the next
        ProcessSilent,          // seconds: until the next line process
        RegistrationUnanswered, // seconds: until the next line process
        SharedLockReleased,     // libcapi20's lock, left taken by a killed line process
        PipeGarbled,            // text: what the line process wrote that is no message
    };
    LineReport() = default;
    explicit LineReport(Kind kind) : kind(kind) {}

    Kind kind = Kind::ConnectionLost;
    unsigned count = 0;
    unsigned seconds = 0;
    unsigned code = 0;
    std::string text;
    std::vector<uint8_t> bytes;
    // Empty: the CAPI line. Else the line source beside it ("callmonitor", "ami"), which reports
    // Listening and ListeningAgain (text: where), ConnectionLost (text: why) and
    // RegistrationFailed (text: why it cannot listen, a refused login say).
    std::string source;
};

// The line of the log of line events.
std::string LineReportText(const LineReport& report);

// Keeps the log of a line that keeps failing short, as a retry every minute would otherwise fill
// it: a registration error is told when it differs from the last one, a pause when its length
// changes; listening starts both afresh.
class LineReportFilter {
public:
    // False when the report would only repeat what was told.
    bool Pass(const LineReport& report);

private:
    std::optional<std::string> lastError;
    std::optional<unsigned> lastPause;
};
