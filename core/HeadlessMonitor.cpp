#include "core/HeadlessMonitor.h"

#include "core/AreaCodesCommand.h"
#include "core/IncomingCallConsole.h"
#include "core/MonitorCore.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int RunHeadlessMonitor(int argc, char** argv, const CommandLine& options) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    MonitorCore core(options);
    ConsoleCallAnnouncer announcer(stdout, core.Sound(),
                                   [&core](const std::string& text) { core.SpeakText(text); });
    core.SetAnnouncer(&announcer);
    if (!WatchTerminationSignals(&app, [] { QCoreApplication::exit(0); })) {
        std::fprintf(stderr, "tavo: cannot set up signal handling\n");
        return 1;
    }
    core.LoadData();
    if (core.lists.Read()->areaCodes.size() == 0)
        std::fprintf(stderr, "%s\n", EmptyAreaCodesNote().c_str());
    core.StartCallCapture([&app, &core](const IncomingCallNotice& notice) {
        // Like a sent window message: the listener waits until the call has been handled.
        QMetaObject::invokeMethod(
            &app, [&core, &notice] { core.OnIncomingCall(notice); }, Qt::BlockingQueuedConnection);
    });
    core.StartSpeech();
    core.StartTelnet();
    core.StartOutputs();
    int code = QCoreApplication::exec();
    StopWatchingTerminationSignals();
    core.Shutdown();
    return code;
}
