#include "capi/LineChild.h"

#include "capi/CCAPIThread.h"
#include "capi/LineProtocol.h"
#include "capi/RefusalMailbox.h"
#include "platform/ShowMessage.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Writes whole lines to the monitor; a monitor that has gone makes every write fail, and the
// process then ends with its input.
class EventWriter {
public:
    explicit EventWriter(int fd) : fd(fd) {}
    void Send(const LinePipeMessage& message) {
        const std::string line = EncodeLinePipeMessage(message);
        std::lock_guard lock(mutex);
        size_t done = 0;
        while (done < line.size()) {
            ssize_t n = ::write(fd, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
        lastSent = Clock::now();
    }
    // An "alive" at most twice a second: enough for a watchdog of a few seconds.
    void Alive() {
        {
            std::lock_guard lock(mutex);
            if (Clock::now() - lastSent < std::chrono::milliseconds(500))
                return;
        }
        Send(LinePipeMessage{});
    }

private:
    int fd;
    std::mutex mutex;
    Clock::time_point lastSent{};
};

// How long the listener waits for the monitor's answer before it ignores the call as always: the
// network must have its CONNECT_RESP well within its own time-outs.
constexpr std::chrono::milliseconds kAnswerTimeout{100};

class PipeReceiver final : public IncomingCallReceiver {
public:
    PipeReceiver(EventWriter& writer, RefusalMailbox& mailbox) : writer(writer), mailbox(mailbox) {}
    void DeliverIncomingCall(const IncomingCallNotice& notice) override {
        LinePipeMessage message;
        message.kind = LinePipeMessage::Kind::Call;
        message.notice = notice;
        writer.Send(message);
    }
    bool RefusesCall(const IncomingCallNotice& notice) override {
        if (!mailbox.Screening())
            return false;
        LinePipeMessage question;
        question.kind = LinePipeMessage::Kind::Ask;
        question.notice = notice;
        const std::optional<bool> refuse =
            mailbox.Ask(notice.connectionId, [&] { writer.Send(question); }, kAnswerTimeout);
        if (!refuse && !toldLate) {
            // Said once: the call is ignored as it would be without rules, and told as such.
            std::fprintf(stderr, "tavo capi-line: the monitor did not say in time whether to "
                                 "refuse a call; such calls are ignored on the line\n");
            toldLate = true;
        }
        return refuse.value_or(false);
    }

private:
    EventWriter& writer;
    RefusalMailbox& mailbox;
    bool toldLate = false; // only the listener's thread asks
};

// Reads what arrived from the monitor within `timeout`; true when "stop" or the end of the input
// came.
bool StopArrived(int in, LineCommandReader& reader, const bool& stop,
                 std::chrono::milliseconds timeout) {
    pollfd p{in, POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
    if (ready <= 0)
        return false;
    char buffer[256];
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0)
        return errno != EINTR && errno != EAGAIN;
    if (n == 0)
        return true;
    reader.Feed(std::string_view(buffer, static_cast<size_t>(n)));
    return stop;
}

} // namespace

int RunCapiLineChild(const LineChildOptions& options, int in, int out) {
    std::signal(SIGPIPE, SIG_IGN);
    // The monitor ends this process with "stop"; a terminal's Ctrl-C or a SIGTERM to the whole
    // group is the monitor's to handle.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    // Stuck inside libcapi20, this process could not see its input end: let the kernel end it
    // with the monitor.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1)
        return 0; // the monitor is already gone
    EventWriter writer(out);
    SetMessageHandler([&writer](const std::string& text) {
        LinePipeMessage message;
        message.kind = LinePipeMessage::Kind::Message;
        message.text = text;
        writer.Send(message);
    });

    std::unique_ptr<CapiProvider> line = LoadLibCapi20(options.remote);
    RefusalMailbox mailbox;
    PipeReceiver receiver(writer, mailbox);
    CCAPIAccess access(line.get(), receiver);
    CCAPIThread::Options threadOptions;
    threadOptions.report = [&writer](const LineReport& report) {
        LinePipeMessage message;
        message.kind = LinePipeMessage::Kind::Report;
        message.report = report;
        writer.Send(message);
    };
    threadOptions.heartbeat = [&writer] { writer.Alive(); };
    threadOptions.registering = [&writer] {
        LinePipeMessage message;
        message.kind = LinePipeMessage::Kind::Registering;
        writer.Send(message);
    };
    threadOptions.showStartupErrors = !options.again;
    // The library keeps what a failed registration or a lost connection left behind: the
    // supervisor starts a fresh process instead, with its pauses and its idea of "again".
    threadOptions.retry = false;
    CCAPIThread listener(access, threadOptions);
    listener.Start();

    bool stop = false;
    LineCommandReader commands([&mailbox, &stop](const LineCommand& command) {
        switch (command.kind) {
        case LineCommand::Kind::Stop:
            stop = true;
            break;
        case LineCommand::Kind::ScreenOn:
        case LineCommand::Kind::ScreenOff:
            mailbox.SetScreening(command.kind == LineCommand::Kind::ScreenOn);
            break;
        case LineCommand::Kind::Refuse:
        case LineCommand::Kind::Ignore:
            mailbox.Answer(command.connectionId, command.kind == LineCommand::Kind::Refuse);
            break;
        }
    });
    while (!listener.IsFinished()) {
        if (StopArrived(in, commands, stop, std::chrono::milliseconds(200)))
            break;
    }
    listener.Stop();
    switch (listener.HowItEnded()) {
    case CCAPIThread::Ending::Stopped:
    case CCAPIThread::Ending::GaveUp:
        return 0;
    case CCAPIThread::Ending::RegistrationFailed:
    case CCAPIThread::Ending::ConnectionLost:
    case CCAPIThread::Ending::Undecodable:
        break;
    }
    return kLineProcessRetryExit;
}
