#pragma once
// What the CAPI line process tells the monitor, one line of text each, over a pipe:
//   call PLCI CIP CALLED CALLING   a call that was ignored on the line (numbers in hex, "-" empty)
//   call PLCI CIP CALLED CALLING refused
//                                  a call that was refused on the line (user busy)
//   ask PLCI CIP CALLED CALLING    whether to refuse this call; the listener waits for the answer
//   report KIND COUNT SECONDS CODE TEXT BYTES
//                                  a change on the line (capi/LineReport.h; KIND a word, the
//                                  numbers decimal, TEXT and BYTES hex or "-")
//   message TEXT                   an error the user must see (hex)
//   registering                    a registration begins (it may block inside CAPI)
//   alive                          the listener is still going round its loop
// and what the monitor tells it (LineCommand), one line each:
//   stop                           end (as does the end of its input)
//   screen on | screen off         whether calls are to be asked about before they are answered;
//                                  off at the start, and while off nothing is asked
//   refuse PLCI | ignore PLCI      the answer to an "ask" (PLCI in hex)

#include "capi/IncomingCallNotice.h"
#include "capi/LineReport.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

struct LinePipeMessage {
    enum class Kind { Call, Report, Message, Registering, Alive, Ask };
    Kind kind = Kind::Alive;
    IncomingCallNotice notice; // Call (with its `refused`), Ask
    LineReport report;         // Report
    std::string text;          // Message
};

// The message as one line, ending in '\n'.
std::string EncodeLinePipeMessage(const LinePipeMessage& message);
// One line without its '\n'; nullopt when it is not a message.
std::optional<LinePipeMessage> DecodeLinePipeMessage(std::string_view line);

// What the monitor tells the line process.
struct LineCommand {
    enum class Kind { Stop, ScreenOn, ScreenOff, Refuse, Ignore };
    Kind kind = Kind::Stop;
    uint32_t connectionId = 0; // Refuse, Ignore: the PLCI asked about
};

// The command as one line, ending in '\n'.
std::string EncodeLineCommand(const LineCommand& command);
// One line without its '\n'; nullopt when it is not a command.
std::optional<LineCommand> DecodeLineCommand(std::string_view line);

// The line process's exit code when a fresh process should register again.
inline constexpr int kLineProcessRetryExit = 75;

// No message comes near this; a line that grows past it is no message.
inline constexpr size_t kMaxLinePipeLine = size_t{64} * 1024;

// Cuts a stream of bytes into lines (without their '\n'). A line that grows past `limit` is
// handed to `overlong` (its first `limit` bytes) once and dropped up to its end, so that the
// cutter never holds more than one line's worth of bytes.
class PipeLineCutter {
public:
    using LineSink = std::function<void(std::string_view line)>;
    using OverlongSink = std::function<void(const std::string& start)>;

    PipeLineCutter(size_t limit, LineSink line, OverlongSink overlong);
    void Feed(std::string_view bytes);

private:
    size_t limit;
    LineSink line;
    OverlongSink overlong;
    std::string pending;
    bool dropping = false; // dropping the rest of a line that grew too long
};

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
    PipeLineCutter cutter;
    std::set<std::string> toldKinds;
};

// Cuts what the monitor writes to the line process into commands. What is no command is dropped:
// the monitor writes only commands, and the line process has nobody to tell.
class LineCommandReader {
public:
    using CommandSink = std::function<void(const LineCommand&)>;
    explicit LineCommandReader(CommandSink command);
    void Feed(std::string_view bytes) { cutter.Feed(bytes); }

private:
    CommandSink command;
    PipeLineCutter cutter;
};

// No command comes near this.
inline constexpr size_t kMaxLineCommand = 64;
