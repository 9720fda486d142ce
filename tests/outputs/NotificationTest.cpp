// Runs on a private session bus (dbus-run-session), with a notification server of its own.
#include "outputs/DesktopNotifier.h"
#include "outputs/NcidServer.h"
#include "outputs/OutputHub.h"

#include "FakeNotificationServer.h"
#include "OutputTestCalls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Serves the event loop until `done` holds, for at most ten seconds.
template <typename Done> bool Until(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct Log {
    OutputLog Sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            text += line + "\n";
        };
    }
    size_t Count(const std::string& part) {
        std::lock_guard lock(mutex);
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }
    std::mutex mutex;
    std::string text;
};

CallEvent ShownCall(int seconds = 7) {
    CallEvent call = SampleCall();
    call.showSeconds = seconds;
    return call;
}

TEST(DesktopNotifier, ACallBecomesANotificationAndItsRepeatReplacesIt) {
    FakeNotificationServer server({QStringLiteral("body"), QStringLiteral("actions")});
    ASSERT_TRUE(server.Registered());
    DesktopNotifier notifier;
    std::vector<std::pair<std::string, std::string>> picked;
    notifier.SetActionHandler([&](const std::string& action, const CallEvent& call) {
        picked.emplace_back(action, call.number);
    });
    notifier.Start();
    EXPECT_TRUE(notifier.Available());

    CallEvent unknown = ShownCall();
    unknown.callerName.clear(); // not in the phone book: it can be added
    notifier.Post(unknown);
    ASSERT_TRUE(Until([&] { return server.Calls().size() == 1; }));
    const NotifyCall first = server.Calls()[0];
    EXPECT_EQ(first.appName, "TAVO");
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.icon, "tavo");
    EXPECT_EQ(first.summary, "Incoming call");
    EXPECT_EQ(first.body, QString::fromStdString(SampleCall().text));
    EXPECT_EQ(first.expireMs, 7000);
    EXPECT_EQ(first.hints.value("desktop-entry").toString(), "tavo");
    EXPECT_EQ(first.hints.value("category").toString(), "call.incoming");
    ASSERT_EQ(first.actions.size(), 4);
    EXPECT_EQ(first.actions[0], "default");
    EXPECT_EQ(first.actions[2], "add-to-phone-book");
    EXPECT_EQ(first.actions[3], "Add to phone book");

    CallEvent repeat = ShownCall(14);
    repeat.repeatCount = 2;
    notifier.Post(repeat);
    ASSERT_TRUE(Until([&] { return server.Calls().size() == 2; }));
    EXPECT_EQ(server.Calls()[1].replacesId, 41u);
    EXPECT_EQ(server.Calls()[1].expireMs, 14000);

    // A popup switched off shows no notification either.
    notifier.Post(ShownCall(0));
    notifier.Post(ShownCall());
    ASSERT_TRUE(Until([&] { return server.Calls().size() == 3; }));
    EXPECT_EQ(server.Calls()[2].replacesId, 0u);
    // A caller the book names, and one whose number is withheld, cannot be added.
    EXPECT_EQ(server.Calls()[2].actions, QStringList({"default", "Show the call"}));
    CallEvent withheld = ShownCall();
    withheld.callerKind = CallerKind::Withheld;
    withheld.number = "0";
    withheld.callerName.clear();
    notifier.Post(withheld);
    ASSERT_TRUE(Until([&] { return server.Calls().size() == 4; }));
    EXPECT_EQ(server.Calls()[3].actions.size(), 2);

    server.InvokeAction(41, "add-to-phone-book");
    server.InvokeAction(999, "default"); // another program's notification
    ASSERT_TRUE(Until([&] { return !picked.empty(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0], std::make_pair(std::string("add-to-phone-book"), SampleCall().number));
}

TEST(DesktopNotifier, MarkupInANameShowsAsWrittenWhereTheServerReadsMarkup) {
    CallEvent call = ShownCall();
    call.text = "<a href=\"https://x.example/?a=1&b=2\">Anna</a> & <img src=\"/x.png\"/> <b>";
    {
        FakeNotificationServer server({QStringLiteral("body"), QStringLiteral("body-markup")});
        DesktopNotifier notifier;
        notifier.Start();
        notifier.Post(call);
        ASSERT_TRUE(Until([&] { return server.Calls().size() == 1; }));
        EXPECT_EQ(server.Calls()[0].body,
                  "&lt;a href=\"https://x.example/?a=1&amp;b=2\"&gt;Anna&lt;/a&gt; &amp; "
                  "&lt;img src=\"/x.png\"/&gt; &lt;b&gt;");
    }
    // A server that shows the body as plain text gets it as it is.
    FakeNotificationServer plain({QStringLiteral("body")});
    DesktopNotifier notifier;
    notifier.Start();
    notifier.Post(call);
    ASSERT_TRUE(Until([&] { return plain.Calls().size() == 1; }));
    EXPECT_EQ(plain.Calls()[0].body, QString::fromStdString(call.text));
}

TEST(DesktopNotifier, NoActionsWhereTheServerHasNone) {
    FakeNotificationServer server({QStringLiteral("body")});
    DesktopNotifier notifier;
    notifier.Start();
    notifier.Post(ShownCall());
    ASSERT_TRUE(Until([&] { return server.Calls().size() == 1; }));
    EXPECT_TRUE(server.Calls()[0].actions.isEmpty());
}

TEST(OutputHub, WithoutAServerTheOwnPopupShowsTheCallAndThatIsSaidOnce) {
    Log log;
    OutputHub hub({}, log.Sink());
    OutputSettings settings;
    EXPECT_TRUE(hub.Apply(settings).empty());
    EXPECT_TRUE(hub.OwnPopupWanted());

    settings.notify.announceWith = AnnounceWith::Notification;
    hub.Apply(settings);
    EXPECT_TRUE(hub.OwnPopupWanted());
    hub.OnCall(ShownCall());
    hub.OnCall(ShownCall());
    EXPECT_TRUE(hub.OwnPopupWanted());
    EXPECT_EQ(log.Count("no notification server"), 1u);

    // A server that comes later takes the calls from then on; those the popup showed stay
    // the popup's.
    FakeNotificationServer server({});
    ASSERT_TRUE(Until([&] { return !hub.OwnPopupWanted(); }));
    hub.OnCall(ShownCall(3));
    ASSERT_TRUE(Until([&] { return server.Calls().size() == 1; }));
    EXPECT_EQ(server.Calls()[0].expireMs, 3000);

    settings.notify.announceWith = AnnounceWith::Both;
    hub.Apply(settings);
    EXPECT_TRUE(hub.OwnPopupWanted());
}

TEST(OutputHub, OutputsSwitchOnAndOffWhileRunning) {
    OutputHub hub([] { return std::vector<CallEvent>{SampleCall()}; });
    OutputSettings settings;
    settings.ncid.enabled = true;
    settings.ncid.port = 3333;
    settings.ncid.address = "203.0.113.1"; // not an address of this machine
    const std::vector<std::string> problems = hub.Apply(settings);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("NCID server: cannot listen on 203.0.113.1"), std::string::npos)
        << problems[0];
    EXPECT_EQ(hub.Ncid(), nullptr);

    settings.ncid.address = "127.0.0.1";
    settings.ncid.port = 0;
    EXPECT_TRUE(hub.Apply(settings).empty());
    ASSERT_NE(hub.Ncid(), nullptr);
    const NcidServer* first = hub.Ncid();
    hub.Apply(settings); // nothing changed: the same server goes on
    EXPECT_EQ(hub.Ncid(), first);

    settings.ncid.enabled = false;
    settings.command.program = "/bin/true";
    EXPECT_TRUE(hub.Apply(settings).empty());
    EXPECT_EQ(hub.Ncid(), nullptr);
    hub.OnCall(SampleCall());
}

// What the window would be told, as it is told.
struct StatusRecorder {
    OutputHub::StatusListener Listener() {
        return [this](const std::vector<OutputStatus>& statuses) {
            std::lock_guard lock(mutex);
            told.push_back(statuses);
        };
    }
    std::vector<OutputStatus> Last() {
        std::lock_guard lock(mutex);
        return told.empty() ? std::vector<OutputStatus>{} : told.back();
    }
    std::mutex mutex;
    std::vector<std::vector<OutputStatus>> told;
};

const OutputStatus* Find(const std::vector<OutputStatus>& statuses, const std::string& output) {
    for (const OutputStatus& status : statuses)
        if (status.output == output)
            return &status;
    return nullptr;
}

bool Shows(const std::vector<OutputStatus>& statuses, const std::string& output,
           OutputHealth health, const std::string& part) {
    const OutputStatus* status = Find(statuses, output);
    return status != nullptr && status->health == health &&
           status->text.find(part) != std::string::npos;
}

TEST(OutputHub, EachOutputSwitchedOnHasAStateTheWindowIsToldOf) {
    OutputHub hub({});
    StatusRecorder recorder;
    hub.SetStatusListener(recorder.Listener());
    ASSERT_EQ(recorder.told.size(), 1u); // at once, with nothing on
    EXPECT_TRUE(recorder.Last().empty());

    // An NCID port already taken, a command that fails, notifications without a server.
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length);
    OutputSettings settings;
    settings.ncid.enabled = true;
    settings.ncid.port = ntohs(address.sin_port);
    settings.command.program = "/bin/false";
    settings.notify.announceWith = AnnounceWith::Notification;
    EXPECT_EQ(hub.Apply(settings).size(), 1u);
    const std::vector<OutputStatus> first = hub.Statuses();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].output, "NCID");
    EXPECT_TRUE(Shows(first, "NCID", OutputHealth::Failing, "Address already in use"));
    EXPECT_TRUE(Shows(first, "notifications", OutputHealth::Failing, "no notification server"));
    EXPECT_TRUE(Shows(first, "command", OutputHealth::Working, "no call yet"));

    hub.OnCall(ShownCall());
    ASSERT_TRUE(Until([&] {
        return Shows(recorder.Last(), "command", OutputHealth::Failing, "exit status 1");
    })) << (Find(recorder.Last(), "command") ? Find(recorder.Last(), "command")->text : "");
    EXPECT_EQ(recorder.Last(), hub.Statuses());

    // A server comes; the port is freed, and NCID is tried again at the next change.
    FakeNotificationServer server({});
    ASSERT_TRUE(Until(
        [&] { return Shows(recorder.Last(), "notifications", OutputHealth::Working, "server"); }));
    ::close(taken);
    settings.command.program = "/bin/true";
    EXPECT_TRUE(hub.Apply(settings).empty());
    EXPECT_TRUE(Shows(hub.Statuses(), "NCID", OutputHealth::Working,
                      "listening on 127.0.0.1 port " + std::to_string(settings.ncid.port)));
    hub.OnCall(ShownCall());
    ASSERT_TRUE(Until(
        [&] { return Shows(recorder.Last(), "command", OutputHealth::Working, "exit status 0"); }));

    // Switched off: gone from the list; a listener taken away hears nothing more.
    settings.ncid.enabled = false;
    settings.notify.announceWith = AnnounceWith::Popup;
    hub.Apply(settings);
    ASSERT_EQ(recorder.Last().size(), 1u);
    EXPECT_EQ(recorder.Last()[0].output, "command");
    hub.SetStatusListener({});
    const size_t told = recorder.told.size();
    settings.command.program.clear();
    hub.Apply(settings);
    EXPECT_TRUE(hub.Statuses().empty());
    EXPECT_EQ(recorder.told.size(), told);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
