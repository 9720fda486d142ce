#include "MonitorCore.h"

#include "CCAPIAccess.h"
#include "CCAPIThread.h"
#include "CSpeechEngine.h"
#include "CapiLine.h"
#include "DataDirectory.h"
#include "SoundCanberra.h"
#include "SoundSink.h"
#include "SpeechSettings.h"
#include "TelnetServer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class MonitorCore::Receiver final : public IncomingCallReceiver {
public:
    explicit Receiver(CallSink deliver) : deliver(std::move(deliver)) {}
    void DeliverIncomingCall(const IncomingCallNotice& notice) override { deliver(notice); }

private:
    CallSink deliver;
};

// Declared in this order so the listener goes first, then the access object, then the line.
struct MonitorCore::Capture {
    std::unique_ptr<CapiProvider> line;
    std::unique_ptr<Receiver> receiver;
    std::unique_ptr<CCAPIAccess> access;
    std::unique_ptr<CCAPIThread> listener;
};

namespace {

std::unique_ptr<CapiProvider> OpenLine(const CommandLine& options) {
    CapiLineChoice choice;
    choice.simulated = options.line == LineKind::Sim || options.demo;
    choice.demo = options.demo;
    if (options.capiRemote)
        choice.remote = CapiRemoteServer{options.capiRemote->driver, options.capiRemote->host,
                                         options.capiRemote->port};
    return OpenCapiLine(choice);
}

} // namespace

MonitorCore::MonitorCore(CommandLine options, Clock clock, std::unique_ptr<SoundSink> sound)
    : options(std::move(options)),
      clock(clock ? std::move(clock) : Clock([] { return std::time(nullptr); })),
      sound(sound ? std::move(sound) : std::make_unique<CanberraSoundSink>()) {
    SetDefaultSettings(settings);
}

MonitorCore::~MonitorCore() {
    Shutdown();
    std::lock_guard lock(ListsMutex());
    phoneBook.clear();
    msnList.clear();
    callList.clear();
    areaCodes.ClearAreaCodes();
}

void MonitorCore::LoadData() {
    {
        std::lock_guard lock(ListsMutex());
        phoneBook.load("names.dat");
        msnList.load("msn.dat");
        callList.load("caller.his");
        areaCodes.LoadAreaCodes("areacode.lst");
    }
    {
        std::lock_guard lock(SettingsMutex());
        LoadSettings(settings);
    }
    if (announcer != nullptr)
        handler = std::make_unique<IncomingCallHandler>(
            IncomingCallParts{phoneBook, msnList, callList, settings, areaCodes, *announcer, clock,
                              [] { ChangeToProgramDirectory(); }});
}

void MonitorCore::StartCallCapture(CallSink deliver) {
    StopCallCapture();
    capture = std::make_unique<Capture>();
    capture->line = OpenLine(options);
    capture->receiver = std::make_unique<Receiver>(std::move(deliver));
    capture->access = std::make_unique<CCAPIAccess>(capture->line.get(), *capture->receiver);
    capture->listener = std::make_unique<CCAPIThread>(*capture->access);
    capture->listener->Start();
}

void MonitorCore::StopCallCapture() {
    if (!capture)
        return;
    if (capture->listener) {
        // The listener may be waiting for this very thread to handle a call: keep handling
        // events until it has seen the stop request.
        capture->listener->RequestStop();
        while (!capture->listener->IsFinished()) {
            if (QCoreApplication::instance() != nullptr)
                QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        capture->listener->Stop();
        capture->listener.reset();
    }
    capture.reset(); // releases CAPI, after the listener has ended
}

void MonitorCore::StartSpeech() {
    speechEngine = std::make_unique<CSpeechEngine>();
    speechEngine->CreateEnumerator();
    speechEngine->EnumerateModes();
    std::lock_guard lock(SettingsMutex());
    ApplyStoredSpeechSettings(*speechEngine, settings);
}

void MonitorCore::StartTelnet() {
    if (!telnet)
        telnet =
            std::make_unique<TelnetServer>(TelnetSources{callList, phoneBook, msnList}, settings);
    int32_t port;
    {
        std::lock_guard lock(SettingsMutex());
        port = settings.telnetPort;
    }
    telnet->RestartTelnetServer(port);
}

void MonitorCore::OnIncomingCall(const IncomingCallNotice& notice) {
    if (handler)
        handler->OnIncomingCall(notice);
}

void MonitorCore::SpeakText(const std::string& text) {
    if (speechEngine)
        speechEngine->Speak(text);
}

void MonitorCore::Shutdown() {
    StopCallCapture();
    telnet.reset();
    if (speechEngine) {
        speechEngine->ReleaseEngine();
        speechEngine.reset();
    }
    if (handler) {
        handler->FlushHistory();
        handler.reset();
    }
}

void MonitorCore::EndSession() {
    // Only asked, not waited for: this may run inside an event loop that the listener itself
    // waits on (an error box it asked for). The listener is joined when the core goes.
    if (capture && capture->listener)
        capture->listener->RequestStop();
    speechEngine.reset();
}

bool MonitorCore::SaveSettingsNow() {
    std::lock_guard lock(SettingsMutex());
    return SaveSettings(settings);
}

namespace {

int signalPipe[2] = {-1, -1};
QPointer<QSocketNotifier> signalNotifier;

void OnTerminationSignal(int) {
    int saved = errno;
    char byte = 1;
    if (signalPipe[1] >= 0 && write(signalPipe[1], &byte, 1) < 0) {
        // Nothing can be done inside a signal handler; the pipe being full is fine.
    }
    errno = saved;
}

} // namespace

bool WatchTerminationSignals(QObject* context, std::function<void()> onSignal) {
    StopWatchingTerminationSignals();
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return false;
    }
    signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(signalNotifier, &QSocketNotifier::activated, context,
                     [onSignal = std::move(onSignal)] {
                         char buffer[16];
                         while (read(signalPipe[0], buffer, sizeof buffer) > 0) {
                         }
                         onSignal();
                     });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
}

void StopWatchingTerminationSignals() {
    if (signalPipe[0] < 0)
        return;
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    delete signalNotifier;
    signalNotifier = nullptr;
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}
