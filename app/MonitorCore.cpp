#include "MonitorCore.h"

#include "ListFile.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

struct MonitorCore::Services {
    CallSink deliver;
};

MonitorCore::MonitorCore(CommandLine options, Clock clock)
    : options(std::move(options)),
      clock(clock ? std::move(clock) : Clock([] { return std::time(nullptr); })),
      services(std::make_unique<Services>()) {
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
    std::lock_guard lock(SettingsMutex());
    LoadSettings(settings);
}

void MonitorCore::StartCallCapture(CallSink deliver) {
    services->deliver = std::move(deliver);
}

void MonitorCore::StartSpeech() {}

void MonitorCore::StartTelnet() {}

void MonitorCore::OnIncomingCall(const IncomingCallNotice& notice) {
    CallRecord record;
    record.callTime = int32_t(Now());
    record.timeText = FormatCallTime(record.callTime);
    record.key = notice.calledNumber;
    record.value = notice.callingNumber;
    record.repeatCount = 1;
    record.connectionId = notice.connectionId;
    record.cipValue = notice.cipValue;
    {
        std::lock_guard lock(ListsMutex());
        callList.append(record);
    }
    if (showToday)
        showToday();
    if (printLogLine)
        printLogLine(*record.timeText + " - " + notice.callingNumber + " -->> " +
                     notice.calledNumber);
    std::lock_guard lock(ListsMutex());
    callList.save("caller.his");
}

void MonitorCore::Shutdown() {}

void MonitorCore::EndSession() {}

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
