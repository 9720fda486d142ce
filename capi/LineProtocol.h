#pragma once
// What the CAPI line process tells the monitor, one line of text each, over a pipe:
//   call PLCI CIP CALLED CALLING   a call that was ignored on the line (numbers in hex, "-" empty)
//   report KIND COUNT SECONDS CODE TEXT BYTES
//                                  a change on the line (capi/LineReport.h; KIND a word, the
//                                  numbers decimal, TEXT and BYTES hex or "-")
//   message TEXT                   an error the user must see (hex)
//   registering                    a registration begins (it may block inside CAPI)
//   alive                          the listener is still going round its loop
// and what the monitor tells it: "stop" (or the end of its input).

#include "capi/IncomingCallNotice.h"
#include "capi/LineReport.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

struct LinePipeMessage {
    enum class Kind { Call, Report, Message, Registering, Alive };
    Kind kind = Kind::Alive;
    IncomingCallNotice notice; // Call
    LineReport report;         // Report
    std::string text;          // Message
};

// The message as one line, ending in '\n'.
std::string EncodeLinePipeMessage(const LinePipeMessage& message);
// One line without its '\n'; nullopt when it is not a message.
std::optional<LinePipeMessage> DecodeLinePipeMessage(std::string_view line);

// The line process's exit code when a fresh process should register again.
inline constexpr int kLineProcessRetryExit = 75;

// No message comes near this; a line that grows past it is no message.
inline constexpr size_t kMaxLinePipeLine = size_t{64} * 1024;

// Cuts what the line process writes into lines and decodes them. What is not a message is told,
// never passed over in silence: a line that does not decode once per kind (its first word), a line
// longer than kMaxLinePipeLine each time; such a line is dropped up to its end.
class LinePipeReader {
public:
    using MessageSink = std::function<void(LinePipeMessage&&)>;
    using ComplaintSink = std::function<void(const std::string&)>;

    LinePipeReader(MessageSink message, ComplaintSink complaint);
    void Feed(std::string_view bytes);

private:
    void Line(std::string_view line);

    MessageSink message;
    ComplaintSink complaint;
    std::string pending;
    bool overlong = false; // dropping the rest of a line that grew too long
    std::set<std::string> toldKinds;
};
