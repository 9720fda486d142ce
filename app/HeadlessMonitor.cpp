#include "HeadlessMonitor.h"

#include "CCAPIAccess.h"
#include "CCAPIThread.h"
#include "CapiLine.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

// Prints each call on standard output, on the Qt thread, while the listener waits for it.
class PrintingReceiver : public IncomingCallReceiver {
public:
    explicit PrintingReceiver(QObject* context) : context(context) {}

    void DeliverIncomingCall(const IncomingCallNotice& notice) override {
        QMetaObject::invokeMethod(
            context, [&notice] { PrintCall(notice); }, Qt::BlockingQueuedConnection);
    }

    static void PrintCall(const IncomingCallNotice& notice) {
        std::printf("call from %s to %s plci 0x%08X cip %d\n", notice.callingNumber.c_str(),
                    notice.calledNumber.c_str(), notice.connectionId, notice.cipValue);
        std::fflush(stdout);
    }

private:
    QObject* context;
};

// SIGTERM and SIGINT reach the event loop through a pipe: the handler only writes one octet.
int signalPipe[2] = {-1, -1};

void OnQuitSignal(int) {
    int saved = errno;
    char octet = 1;
    [[maybe_unused]] ssize_t written = write(signalPipe[1], &octet, 1);
    errno = saved;
}

bool InstallQuitSignals() {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
}

std::unique_ptr<CapiProvider> ChooseLine(const CommandLine& options) {
    CapiLineChoice choice;
    choice.simulated = options.line == LineKind::Sim;
    choice.demo = options.demo;
    if (options.capiRemote)
        choice.remote = CapiRemoteServer{options.capiRemote->driver, options.capiRemote->host,
                                         options.capiRemote->port};
    return OpenCapiLine(choice);
}

} // namespace

int RunHeadlessMonitor(int argc, char** argv, const CommandLine& options) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    if (!InstallQuitSignals()) {
        std::fprintf(stderr, "tavo: cannot set up signal handling\n");
        return 1;
    }
    QSocketNotifier quitNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&quitNotifier, &QSocketNotifier::activated, &app, [] {
        char octet;
        while (read(signalPipe[0], &octet, 1) > 0) {
        }
        QCoreApplication::quit();
    });

    std::unique_ptr<CapiProvider> line = ChooseLine(options);
    auto receiver = std::make_unique<PrintingReceiver>(&app);
    auto capi = std::make_unique<CCAPIAccess>(line.get(), *receiver);
    auto listener = std::make_unique<CCAPIThread>(*capi);
    listener->Start();
    app.exec();

    // A call may be waiting for this thread while the listener is asked to stop, so keep
    // handling events until it has ended (or is stuck in a CAPI that never answers, which Stop
    // then leaves behind).
    listener->RequestStop();
    while (!listener->IsFinished()) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    listener->Stop();
    listener.reset();
    capi.reset(); // releases CAPI, now that the listener has ended
    return 0;
}
