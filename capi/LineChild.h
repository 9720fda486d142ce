#pragma once
// The CAPI line process: the one place that loads libcapi20. It registers, listens, answers each
// call on the line itself (CONNECT_RESP: ignored, or refused when the monitor, asked while it has
// rules that refuse, says so) and tells the monitor of it over `out` (see capi/LineProtocol.h). libcapi20 can die or hang on a frame a server sends; it then takes only
// this process with it, and the monitor starts another (capi/LineSupervisor.h).

#include "capi/IncomingCallReceiver.h"
#include "capi/LibCapi20Provider.h"
#include "capi/LineProtocol.h"
#include "capi/RefusalMailbox.h"

#include <chrono>
#include <mutex>
#include <optional>

// Writes whole lines to the monitor; a monitor that has gone makes every write fail, and the
// process then ends with its input. Any thread.
class LinePipeWriter {
public:
    explicit LinePipeWriter(int fd);
    void Send(const LinePipeMessage& message);
    // An "alive" at most twice a second: enough for a watchdog of a few seconds.
    void Alive();

private:
    int fd;
    std::mutex mutex;
    std::chrono::steady_clock::time_point lastSent{};
};

// How long the listener waits for the monitor's answer before it ignores the call as always: the
// network must have its CONNECT_RESP well within its own time-outs.
inline constexpr std::chrono::milliseconds kLineAnswerTimeout{100};

// The line process's receiver: each call goes to the monitor as a line; while screening is on,
// the monitor is asked first whether to refuse it, and a call it does not answer in time is
// ignored (told once on standard error).
class LinePipeReceiver final : public IncomingCallReceiver {
public:
    LinePipeReceiver(LinePipeWriter& writer, RefusalMailbox& mailbox,
                     std::chrono::milliseconds timeout = kLineAnswerTimeout)
        : writer(writer), mailbox(mailbox), timeout(timeout) {}
    void DeliverIncomingCall(const IncomingCallNotice& notice) override;
    bool RefusesCall(const IncomingCallNotice& notice) override;

private:
    LinePipeWriter& writer;
    RefusalMailbox& mailbox;
    const std::chrono::milliseconds timeout;
    bool toldLate = false; // only the listener's thread asks
};

struct LineChildOptions {
    std::optional<CapiRemoteServer> remote;
    // Not the monitor's first line process: its registration errors are logged, not shown.
    bool again = false;
};

// Runs until "stop" or the end of `in`, or until the listener ends: for good (no library, a
// controller refused the listen) with exit code 0, else (a failed registration, a lost
// connection, a message that does not decode) with kLineProcessRetryExit, so that a fresh
// process registers again.
int RunCapiLineChild(const LineChildOptions& options, int in, int out);
