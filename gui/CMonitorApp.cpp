#include "gui/CMonitorApp.h"

#include "core/MonitorCore.h"
#include "gui/CMonitorDlg.h"
#include "gui/InterfaceLanguage.h"
#include "gui/InstanceHandOver.h"
#include "platform/DataDirectory.h"
#include "platform/ShowMessage.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QSessionManager>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <mutex>

namespace {

std::mutex boxMutex;
std::optional<QMessageBox::StandardButton> nextAnswer;
std::optional<std::string> lastText;

// The line's fixed messages, shown in the interface's language; every other message is shown as
// the lower layers wrote it (it names files and numbers).
const char* const LineMessages[] = {
    QT_TRANSLATE_NOOP("LineMessages", "Error: ISDN-driver not installed"),
    QT_TRANSLATE_NOOP("LineMessages", "Error: No ISDN-controller installed"),
};

QString BoxText(const std::string& text) {
    for (const char* known : LineMessages)
        if (text == known)
            return QCoreApplication::translate("LineMessages", known);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void ShowBoxOnGuiThread(const std::string& text) {
    {
        std::lock_guard lock(boxMutex);
        lastText = text;
        if (nextAnswer) {
            nextAnswer.reset();
            return;
        }
    }
    // One button: the box only tells, there is nothing to choose (OK and Cancel did the same).
    QMessageBox box(QMessageBox::Critical, QStringLiteral("TAVO"),
                    BoxText(text), QMessageBox::Ok);
    box.exec();
}

} // namespace

void SetNextMessageBoxAnswer(QMessageBox::StandardButton answer) {
    std::lock_guard lock(boxMutex);
    nextAnswer = answer;
}

std::optional<std::string> LastMessageBoxText() {
    std::lock_guard lock(boxMutex);
    return lastText;
}

void InstallMessageBoxHandler() {
    SetMessageHandler([](const std::string& text) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            std::fprintf(stderr, "TAVO: %s\n", text.c_str());
            return;
        }
        if (QThread::currentThread() == app->thread()) {
            ShowBoxOnGuiThread(text);
            return;
        }
        QMetaObject::invokeMethod(
            app, [&text] { ShowBoxOnGuiThread(text); }, Qt::BlockingQueuedConnection);
    });
}

int CMonitorApp::Run(int argc, char** argv, const CommandLine& options) {
    std::signal(SIGPIPE, SIG_IGN); // a telnet client that went away must not end the monitor
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TAVO"));
    // The window hides into the tray; only "exit" or the end of the session ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    InstallMessageBoxHandler();
    LoadInterfaceLanguage(QLocale::system(), TranslationDirectories());
    int code;
    {
        MonitorCore core(options);
        CMonitorDlg dialog(core);
        WatchTerminationSignals(&dialog, [&dialog] { dialog.EndSession(); });
        // A second start with this data directory shows this window instead of its own.
        InstanceHandOverServer handOver;
        QObject::connect(&handOver, &InstanceHandOverServer::ShowRequested, &dialog,
                         &CMonitorDlg::ShowWindow);
        if (QString error; !handOver.Listen(HandOverSocketName(DataDirectoryPath()), error))
            std::fprintf(stderr, "TAVO: a second start cannot show this window: %s\n",
                         qPrintable(error));
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &dialog,
                         [&dialog](QSessionManager&) { dialog.EndSession(); });
        dialog.StartUp();
        dialog.ShowAsStarted();
        code = QApplication::exec();
        StopWatchingTerminationSignals();
    }
    SetMessageHandler({});
    return code;
}
