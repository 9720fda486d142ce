// After OK the main window follows the new settings: day list, stored record, its own speech
// engine and the telnet server; after Cancel none of them is touched.
#include "FakeSpeechBackend.h"
#include "OptionsFixture.h"
#include "gui/options/COptionCommand.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechModeId.h"
#include "telnet/TelnetServer.h"

#include <QCheckBox>
#include <QListWidget>
#include <QSlider>
#include <QTimer>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A port nobody listens on right now.
int FreePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

bool Reachable(int port) {
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(client);
    return connected;
}

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace

class OptionsCommand : public OptionsFixture {
protected:
    OptionsCommand() {
        backend->voices = {FakeSpeechBackend::Voice("one", "One", "en"),
                           FakeSpeechBackend::Voice("two", "Two", "en")};
        context.makeSpeechEngine = [this] { return std::make_unique<CSpeechEngine>(backend); };
        followUp.showFirstDay = [this] { steps.push_back("day"); };
        followUp.saveWindowState = [this] { steps.push_back("save"); };
        mainEngine.CreateEnumerator();
        mainEngine.EnumerateModes();
        mainEngine.SelectMode(ModeIdForVoice("one"));
        followUp.speechEngine = &mainEngine;
    }
    ~OptionsCommand() override { server.reset(); }

    void StartServer(int port) {
        settings.Write()->telnetEnabled = 1;
        settings.Write()->telnetPort = port;
        server =
            std::make_unique<TelnetServer>(TelnetSources{lists}, settings);
        server->RestartTelnetServer(port);
        ASSERT_TRUE(WaitFor([&] { return server->IsRunning(); }));
        followUp.telnetServer = server.get();
    }

    // The sheet runs modally; these answer it from the event loop.
    void WhenSheetOpens(std::function<void(QWidget*)> act) {
        QTimer::singleShot(0, [act] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            act(modal);
        });
    }

    std::shared_ptr<FakeSpeechBackend> backend = std::make_shared<FakeSpeechBackend>();
    CSpeechEngine mainEngine{backend};
    std::unique_ptr<TelnetServer> server;
    OptionsFollowUp followUp;
    std::vector<std::string> steps;
};

TEST_F(OptionsCommand, CancelTouchesNothing) {
    const int port = FreePort();
    StartServer(port);
    const Settings before = settings.Copy();
    WhenSheetOpens([](QWidget* sheet) {
        sheet->findChild<QTabWidget*>("IDC_OPTION_TABS")->setCurrentIndex(4);
        sheet->findChild<QCheckBox*>("IDC_TELNET_ENABLED")->click();
        sheet->findChild<QAbstractButton*>("IDCANCEL")->click();
    });
    EXPECT_FALSE(RunOptionsCommand(nullptr, context, followUp));
    EXPECT_TRUE(steps.empty());
    const Settings after = settings.Copy();
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
    EXPECT_TRUE(server->IsRunning());
    EXPECT_TRUE(Reachable(port));
}

TEST_F(OptionsCommand, ChangedPortMovesTheServer) {
    const int oldPort = FreePort();
    StartServer(oldPort);
    const int newPort = FreePort();
    ASSERT_NE(newPort, oldPort);
    WhenSheetOpens([newPort](QWidget* sheet) {
        sheet->findChild<QTabWidget*>("IDC_OPTION_TABS")->setCurrentIndex(4);
        auto* box = sheet->findChild<QLineEdit*>("IDC_TELNET_PORT");
        box->setText(QString::number(newPort));
        sheet->findChild<QAbstractButton*>("IDOK")->click();
    });
    EXPECT_TRUE(RunOptionsCommand(nullptr, context, followUp));
    EXPECT_EQ(steps, (std::vector<std::string>{"day", "save"}));
    EXPECT_EQ(settings.Read()->telnetPort, newPort);
    ASSERT_TRUE(WaitFor([&] { return server->IsRunning(); }));
    EXPECT_TRUE(Reachable(newPort));
    EXPECT_FALSE(Reachable(oldPort));
}

TEST_F(OptionsCommand, SwitchingOffWithANewPortStopsTheServerOnTheOldPort) {
    const int oldPort = FreePort();
    StartServer(oldPort);
    WhenSheetOpens([](QWidget* sheet) {
        sheet->findChild<QTabWidget*>("IDC_OPTION_TABS")->setCurrentIndex(4);
        sheet->findChild<QLineEdit*>("IDC_TELNET_PORT")->setText("1");
        sheet->findChild<QCheckBox*>("IDC_TELNET_ENABLED")->click();
        sheet->findChild<QAbstractButton*>("IDOK")->click();
    });
    EXPECT_TRUE(RunOptionsCommand(nullptr, context, followUp));
    EXPECT_FALSE(server->IsRunning());
    EXPECT_FALSE(Reachable(oldPort));
}

TEST_F(OptionsCommand, MainEngineTakesTheStoredVoiceAndValues) {
    WhenSheetOpens([](QWidget* sheet) {
        sheet->findChild<QTabWidget*>("IDC_OPTION_TABS")->setCurrentIndex(3);
        sheet->findChild<QListWidget*>("IDC_ENGINE_LIST")->setCurrentRow(1); // "Two"
        sheet->findChild<QSlider*>("IDC_SPEED")->setValue(222);
        sheet->findChild<QSlider*>("IDC_PITCH")->setValue(33);
        sheet->findChild<QAbstractButton*>("IDOK")->click();
    });
    EXPECT_TRUE(RunOptionsCommand(nullptr, context, followUp));
    EXPECT_EQ(mainEngine.GetSelectedModeId(), ModeIdForVoice("two"));
    EXPECT_EQ(mainEngine.GetSpeed(), 222);
    EXPECT_EQ(mainEngine.GetPitch(), 33);
}
