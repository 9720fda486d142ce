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

using Clock = std::chrono::steady_clock;

LinePipeWriter::LinePipeWriter(int fd) : fd(fd) {}

void LinePipeWriter::Send(const LinePipeMessage& message) {
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

void LinePipeWriter::Alive() {
    {
        std::lock_guard lock(mutex);
        if (Clock::now() - lastSent < std::chrono::milliseconds(500))
            return;
    }
    Send(LinePipeMessage{});
}

void LinePipeReceiver::DeliverIncomingCall(const IncomingCallNotice& notice) {
    LinePipeMessage message;
    message.kind = LinePipeMessage::Kind::Call;
    message.notice = notice;
    writer.Send(message);
}

bool LinePipeReceiver::RefusesCall(const IncomingCallNotice& notice) {
    if (!mailbox.Screening())
        return false;
    LinePipeMessage question;
    question.kind = LinePipeMessage::Kind::Ask;
    question.notice = notice;
    const std::optional<bool> refuse =
        mailbox.Ask(notice.connectionId, [&] { writer.Send(question); }, timeout);
    if (!refuse && !toldLate) {
        // Said once: the call is ignored as it would be without rules.
        std::fprintf(stderr, "tavo capi-line: the monitor did not say in time whether to refuse "
                             "a call; such calls are ignored on the line\n");
        toldLate = true;
    }
    return refuse.value_or(false);
}

namespace {

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
    LinePipeWriter writer(out);
    SetMessageHandler([&writer](const std::string& text) {
        LinePipeMessage message;
        message.kind = LinePipeMessage::Kind::Message;
        message.text = text;
        writer.Send(message);
    });

    std::unique_ptr<CapiProvider> line = LoadLibCapi20(options.remote);
    RefusalMailbox mailbox;
    LinePipeReceiver receiver(writer, mailbox);
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
