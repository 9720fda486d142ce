#include "WireBytes.h"
#include "capi/CCAPIAccess.h"
#include "capi/CCAPIThread.h"
#include "capi/CapiErrors.h"
#include "capi/DemoCalls.h"
#include "capi/SimulatedLine.h"
#include "platform/ShowMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Records every call and how many messages the line had been sent when it arrived.
class RecordingReceiver : public IncomingCallReceiver {
public:
    explicit RecordingReceiver(SimulatedLine& line) : line(line) {}
    void DeliverIncomingCall(const IncomingCallNotice& notice) override {
        std::lock_guard lock(mutex);
        notices.push_back(notice);
        putsAtDelivery.push_back(line.Puts().size());
    }
    std::vector<IncomingCallNotice> Notices() {
        std::lock_guard lock(mutex);
        return notices;
    }
    std::vector<std::size_t> PutsAtDelivery() {
        std::lock_guard lock(mutex);
        return putsAtDelivery;
    }

private:
    SimulatedLine& line;
    std::mutex mutex;
    std::vector<IncomingCallNotice> notices;
    std::vector<std::size_t> putsAtDelivery;
};

// Collects what would be shown to the user.
class ShownMessages {
public:
    ShownMessages() {
        previous = SetMessageHandler([this](const std::string& text) {
            std::lock_guard lock(mutex);
            texts.push_back(text);
        });
    }
    ~ShownMessages() { SetMessageHandler(previous); }
    std::vector<std::string> Texts() {
        std::lock_guard lock(mutex);
        return texts;
    }

private:
    MessageHandler previous;
    std::mutex mutex;
    std::vector<std::string> texts;
};

bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

uint16_t Word(const std::vector<uint8_t>& m, std::size_t at) {
    return static_cast<uint16_t>(m[at] | (m[at + 1] << 8));
}
uint32_t Dword(const std::vector<uint8_t>& m, std::size_t at) {
    return Word(m, at) | static_cast<uint32_t>(Word(m, at + 2)) << 16;
}

// What a registration refused with 0x1009 (no CAPI server answers) reads like.
const std::string kRegisterFailed =
    "Error: registering the application in function RegisterCAPI.\n4105";

const SampleCall kCall{0x00010201, 16, "5551", 0x21, 0x80, "301234567"};

class Listener : public ::testing::Test {
protected:
    Listener() : line(2), receiver(line), capi(&line, receiver) { line.SetFirstApplId(3); }

    void Register() {
        ASSERT_EQ(capi.RegisterCAPI(true), std::nullopt);
        ASSERT_EQ(capi.ApplId(), 3u);
    }

    ShownMessages shown;
    SimulatedLine line;
    RecordingReceiver receiver;
    CCAPIAccess capi;
};

TEST_F(Listener, CallIsIgnoredOnTheLineBeforeItIsDelivered) {
    Register();
    line.Inject(ConnectIndMessage(kCall, 0x0042));
    capi.FetchMessages();

    auto puts = line.Puts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0], Hex("20 00 03 00 02 83 42 00 01 02 01 00 01 00"
                           " 09 00 00 00 00 00 00 00 00 00 00 00 00 04 00 00 00 00"));
    auto notices = receiver.Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].callingNumber, "0301234567");
    EXPECT_EQ(notices[0].calledNumber, "5551");
    EXPECT_EQ(notices[0].connectionId, 0x00010201u);
    EXPECT_EQ(notices[0].cipValue, 16);
    EXPECT_EQ(receiver.PutsAtDelivery(), std::vector<std::size_t>{1});
    EXPECT_EQ(line.BlockingGets(), 0u); // one message: no second fetch without a look first
}

TEST_F(Listener, HangUpIsAnsweredAndNotDelivered) {
    Register();
    line.Inject(DisconnectIndMessage(0x00010201, 0x3490, 0x0043));
    capi.FetchMessages();
    auto puts = line.Puts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0], Hex("0C 00 03 00 04 83 43 00 01 02 01 00"));
    EXPECT_TRUE(receiver.Notices().empty());
}

TEST_F(Listener, OtherMessagesGetNoAnswer) {
    Register();
    line.Inject(Hex("0F 00 03 00 03 82 01 00 01 02 01 00 00 00 00")); // CONNECT_ACTIVE_IND
    line.Inject(Hex("0F 00 03 00 08 82 02 00 01 02 01 00 18 00 00")); // INFO_IND
    capi.FetchMessages();
    line.Inject(Hex("0E 00 03 00 05 81 00 00 01 00 00 00 00 00")); // LISTEN_CONF
    EXPECT_EQ(capi.FetchMessages(), CCAPIAccess::FetchResult::Handled);
    EXPECT_TRUE(line.Puts().empty());
    EXPECT_TRUE(receiver.Notices().empty());
}

// What does not decode is handed back with its first octets, never passed over: the stream may be
// out of step after it, so the caller gives the registration up.
TEST_F(Listener, WhatDoesNotDecodeIsHandedBackAndNothingAfterItIsRead) {
    Register();
    std::vector<uint8_t> bad = ConnectIndMessage(kCall, 1);
    bad[14] = 0x7F; // Called party number runs past the end
    const std::vector<std::vector<uint8_t>> undecodable = {
        bad,
        Hex("0E 00 03 00 01 82 21 00 01 01 00 00 90 34"), // ALERT_IND, which CAPI does not have
        Hex("05 00 03 00 02 82 01 00 01 01 00 00"),       // a length below the header
        Hex("00 00 03 00"),                               // shorter than a header
    };
    for (const auto& message : undecodable) {
        const size_t delivered = receiver.Notices().size();
        line.Inject(message);
        line.Inject(ConnectIndMessage(kCall, 2));
        EXPECT_EQ(capi.FetchMessages(), CCAPIAccess::FetchResult::Undecodable);
        const CCAPIAccess::Undecodable& what = capi.LastUndecodable();
        EXPECT_NE(what.result, CapiNoError);
        EXPECT_EQ(what.length, message.size());
        const size_t told = std::min<size_t>(message.size(), 16);
        EXPECT_EQ(what.firstOctets, std::vector<uint8_t>(message.begin(), message.begin() + told));
        EXPECT_EQ(line.QueuedCount(), 1u); // the call after it stays where it is
        EXPECT_EQ(receiver.Notices().size(), delivered);
        capi.FetchMessages(); // the test's own clean-up: the good call
    }
    EXPECT_TRUE(capi.IsRegistered()); // giving up is its owner's decision
}

TEST_F(Listener, AtMostTwoMessagesPerWakeUp) {
    Register();
    for (uint16_t n = 1; n <= 3; ++n)
        line.Inject(ConnectIndMessage(SampleCall{n, 16, "5551", 0x21, 0x80, "3012"}, n));
    capi.FetchMessages();
    EXPECT_EQ(receiver.Notices().size(), 2u);
    EXPECT_EQ(line.QueuedCount(), 1u);
    capi.FetchMessages();
    auto notices = receiver.Notices();
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_EQ(notices[2].connectionId, 3u); // arrival order
    EXPECT_EQ(line.QueuedCount(), 0u);
    EXPECT_EQ(line.BlockingGets(), 0u);
}

TEST_F(Listener, ListensOnEveryControllerForEveryService) {
    Register();
    ASSERT_EQ(capi.ListenOnAllControllers(kListenAllServices), CapiNoError);
    auto puts = line.Puts();
    ASSERT_EQ(puts.size(), 2u);
    for (uint32_t k = 1; k <= 2; ++k) {
        const auto& m = puts[k - 1];
        ASSERT_EQ(m.size(), 26u);
        EXPECT_EQ(m[4], 0x05);
        EXPECT_EQ(m[5], 0x80);
        EXPECT_EQ(Word(m, 6), 0);    // message number
        EXPECT_EQ(Dword(m, 8), k);   // controller
        EXPECT_EQ(Dword(m, 12), 0u); // Info mask
        EXPECT_EQ(Dword(m, 16), 0x1FFF03FFu);
        EXPECT_EQ(Dword(m, 20), 0u);
    }
}

TEST_F(Listener, RefusedListenEndsTheThreadWithoutASecondListen) {
    int attempts = 0;
    line.SetPutResult([&](const std::vector<uint8_t>&) {
        attempts++;
        return CapiIllegalAppl;
    });
    CCAPIThread listener(capi, {});
    listener.Start();
    ASSERT_TRUE(Eventually([&] { return listener.IsFinished(); }));
    listener.Stop();
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(line.RegisterCalls(), 1u);
}

TEST_F(Listener, RegistrationFailuresAreShownAndNothingIsListenedTo) {
    line.SetInstalledResult(CapiRegNotInstalled);
    EXPECT_EQ(capi.RegisterCAPI(true), "Error: ISDN-driver not installed");
    line.SetInstalledResult(0);
    line.SetControllerCount(0);
    EXPECT_EQ(capi.RegisterCAPI(true), "Error: No ISDN-controller installed");
    line.SetControllerCount(1);
    line.SetProfileResult(CapiRegNotInstalled); // a failed profile counts no controllers
    EXPECT_EQ(capi.RegisterCAPI(true), "Error: No ISDN-controller installed");
    line.SetProfileResult(0);
    line.QueueRegisterResults({CapiRegOsResourceErr});
    EXPECT_EQ(capi.RegisterCAPI(true),
              "Error: registering the application in function RegisterCAPI.\n4104");
    EXPECT_FALSE(capi.IsRegistered());
    EXPECT_EQ(shown.Texts().size(), 4u);
    EXPECT_TRUE(line.Puts().empty());
}

TEST(ListenerWithoutLibrary, ShowsMissingDriverAndEnds) {
    ShownMessages shown;
    SimulatedLine unused;
    RecordingReceiver receiver(unused);
    CCAPIAccess capi(nullptr, receiver);
    CCAPIThread listener(capi, {});
    listener.Start();
    ASSERT_TRUE(Eventually([&] { return listener.IsFinished(); }));
    EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Error: ISDN-driver not installed"});
}

TEST_F(Listener, FailedReleaseIsShownWithItsCode) {
    Register();
    line.SetReleaseResult(CapiIllegalAppl);
    EXPECT_EQ(capi.ReleaseCAPI(true),
              "Error: deregistering the application in function ReleaseCAPI,\ncode: 0x1101");
    EXPECT_EQ(shown.Texts().size(), 1u);
    EXPECT_FALSE(capi.IsRegistered());
}

TEST_F(Listener, ThreadDeliversCallsAndStopsWhenAsked) {
    CCAPIThread::Options options;
    options.waitSlice = 20ms;
    CCAPIThread listener(capi, options);
    listener.Start();
    ASSERT_TRUE(line.WaitForPuts(2, 5s)); // both LISTEN_REQs
    line.Inject(ConnectIndMessage(kCall, 7));
    ASSERT_TRUE(Eventually([&] { return receiver.Notices().size() == 1; }));
    listener.Stop();
    EXPECT_TRUE(listener.IsFinished());
    EXPECT_TRUE(capi.IsRegistered()); // released by its owner, after the thread
    EXPECT_EQ(line.BlockingGets(), 0u);
    EXPECT_TRUE(shown.Texts().empty());
}

class Reconnect : public Listener {
protected:
    CCAPIThread::Options Options() {
        CCAPIThread::Options options;
        options.waitSlice = 10ms;
        options.pause = [this](std::chrono::milliseconds delay) {
            std::lock_guard lock(mutex);
            pauses.push_back(delay.count());
            return true;
        };
        options.report = [this](const LineReport& report) {
            std::lock_guard lock(mutex);
            logLines.push_back(LineReportText(report));
            kinds.push_back(report.kind);
        };
        return options;
    }
    std::vector<long> Pauses() {
        std::lock_guard lock(mutex);
        return pauses;
    }
    std::vector<std::string> LogLines() {
        std::lock_guard lock(mutex);
        return logLines;
    }

    std::vector<LineReport::Kind> Kinds() {
        std::lock_guard lock(mutex);
        return kinds;
    }

    std::mutex mutex;
    std::vector<long> pauses;
    std::vector<std::string> logLines;
    std::vector<LineReport::Kind> kinds;
};

TEST_F(Reconnect, LostLineIsRegisteredAgainWithGrowingPauses) {
    CCAPIThread listener(capi, Options());
    listener.Start();
    ASSERT_TRUE(line.WaitForPuts(2, 5s));
    line.QueueRegisterResults({CapiRegNotInstalled, CapiRegNotInstalled});
    line.DropConnection();
    ASSERT_TRUE(line.WaitForPuts(4, 5s)); // listening again
    EXPECT_EQ(line.RegisterCalls(), 4u);
    EXPECT_EQ(Pauses(), (std::vector<long>{1000, 2000, 4000}));

    line.Inject(ConnectIndMessage(kCall, 9));
    ASSERT_TRUE(Eventually([&] { return receiver.Notices().size() == 1; }));
    EXPECT_EQ(Word(line.Puts().back(), 2), 4); // answered with the new application id
    listener.Stop();

    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{"listening on 2 controller(s)", "CAPI connection lost",
                                        "retrying CAPI registration in 1 s", kRegisterFailed,
                                        "retrying CAPI registration in 2 s",
                                        "retrying CAPI registration in 4 s",
                                        "listening again on 2 controller(s)"}));
    EXPECT_TRUE(shown.Texts().empty()); // no boxes after start-up
}

TEST_F(Reconnect, UndecodableMessageIsToldOnceAndTheLineRegisteredAfresh) {
    CCAPIThread listener(capi, Options());
    listener.Start();
    ASSERT_TRUE(line.WaitForPuts(2, 5s));
    line.Inject(Hex("00 00 03 00 02 82 01 00"));
    ASSERT_TRUE(line.WaitForPuts(4, 5s)); // listening again
    EXPECT_EQ(line.RegisterCalls(), 2u);
    EXPECT_EQ(line.ReleaseCalls(), 1u);
    line.Inject(ConnectIndMessage(kCall, 9));
    ASSERT_TRUE(Eventually([&] { return receiver.Notices().size() == 1; }));
    listener.Stop();
    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{
                  "listening on 2 controller(s)",
                  "CAPI handed over what is no CAPI message (result 0x1102, 8 octets: 00 00 03 00 "
                  "02 82 01 00); starting the line afresh",
                  "retrying CAPI registration in 1 s", "listening again on 2 controller(s)"}));
}

// A line process ends instead of retrying: its library keeps what a failure left behind.
TEST_F(Reconnect, WithoutRetryTheThreadEndsAndSaysWhy) {
    {
        line.QueueRegisterResults({CapiRegOsResourceErr});
        CCAPIThread::Options options = Options();
        options.retry = false;
        options.showStartupErrors = false;
        CCAPIThread listener(capi, options);
        listener.Start();
        ASSERT_TRUE(Eventually([&] { return listener.IsFinished(); }));
        listener.Stop();
        EXPECT_EQ(listener.HowItEnded(), CCAPIThread::Ending::RegistrationFailed);
        EXPECT_EQ(LogLines(), std::vector<std::string>{
                                  "Error: registering the application in function "
                                  "RegisterCAPI.\n4104"});
        EXPECT_EQ(line.RegisterCalls(), 1u);
    }
    for (const bool undecodable : {false, true}) {
        SCOPED_TRACE(undecodable ? "undecodable" : "lost");
        CCAPIThread::Options options = Options();
        options.retry = false;
        CCAPIThread listener(capi, options);
        const size_t puts = line.Puts().size();
        listener.Start();
        ASSERT_TRUE(line.WaitForPuts(puts + 2, 5s));
        if (undecodable)
            line.Inject(Hex("05 00 03 00 02 82 01 00"));
        else
            line.DropConnection();
        ASSERT_TRUE(Eventually([&] { return listener.IsFinished(); }));
        listener.Stop();
        EXPECT_EQ(listener.HowItEnded(), undecodable ? CCAPIThread::Ending::Undecodable
                                                     : CCAPIThread::Ending::ConnectionLost);
        EXPECT_EQ(Kinds().back(), undecodable ? LineReport::Kind::Undecodable
                                              : LineReport::Kind::ConnectionLost);
        EXPECT_FALSE(capi.IsRegistered());
    }
    EXPECT_TRUE(Pauses().empty());
    EXPECT_TRUE(shown.Texts().empty());
}

TEST_F(Reconnect, PausesStopGrowingAtOneMinuteAndStopEndsThem) {
    line.QueueRegisterResults(std::vector<unsigned>(9, CapiRegNotInstalled));
    CCAPIThread listener(capi, Options());
    listener.Start();
    ASSERT_TRUE(line.WaitForPuts(2, 5s));
    listener.Stop();
    EXPECT_EQ(Pauses(),
              (std::vector<long>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
    auto lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "retrying CAPI registration in 60 s"), 1);
    EXPECT_EQ(shown.Texts(), std::vector<std::string>{kRegisterFailed});
}

TEST_F(Reconnect, StopCutsAPauseShort) {
    line.SetInstalledResult(CapiRegNotInstalled);
    CCAPIThread::Options options;
    options.firstRetryDelay = std::chrono::hours(1);
    CCAPIThread listener(capi, options);
    listener.Start();
    ASSERT_TRUE(Eventually([&] { return !shown.Texts().empty(); }));
    listener.Stop(); // would hang for an hour if the pause ignored the stop request
    EXPECT_TRUE(listener.IsFinished());
}

} // namespace

namespace {

// A server that accepted the connection and never answers: registration blocks until let go.
class SilentLine : public SimulatedLine {
public:
    unsigned Register(unsigned a, unsigned b, unsigned c, unsigned& applId) override {
        std::unique_lock lock(gate);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        return SimulatedLine::Register(a, b, c, applId);
    }
    void WaitUntilBlocked() {
        std::unique_lock lock(gate);
        changed.wait(lock, [this] { return entered; });
    }
    void LetGo() {
        std::lock_guard lock(gate);
        open = true;
        changed.notify_all();
    }

private:
    std::mutex gate;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
};

// The line outlives the test: the thread left behind is still inside it.
SilentLine* silentLine = nullptr;

TEST(ListenerStuckInCapi, IsLeftBehindWithoutTouchingWhatItsOwnerFreed) {
    silentLine = new SilentLine;
    ShownMessages shown;
    {
        RecordingReceiver receiver(*silentLine);
        auto capi = std::make_unique<CCAPIAccess>(silentLine, receiver);
        CCAPIThread::Options options;
        options.stopGrace = 50ms;
        auto listener = std::make_unique<CCAPIThread>(*capi, options);
        listener->Start();
        silentLine->WaitUntilBlocked();
        listener->RequestStop();
        // A front end waits for this while it keeps its event loop going.
        ASSERT_TRUE(Eventually([&] { return listener->IsFinished(); }));
        EXPECT_FALSE(listener->StopWithin(50ms));
        listener.reset();
        capi.reset(); // with the thread still blocked: it must never come back to these
    }
    silentLine->LetGo();
    ASSERT_TRUE(Eventually([] { return silentLine->RegisterCalls() == 1; }));
    std::this_thread::sleep_for(50ms);       // room for a faulty thread to use freed memory
    EXPECT_TRUE(silentLine->Puts().empty()); // no listening after the owner gave up
    EXPECT_TRUE(shown.Texts().empty());
}

TEST(ListenerStuckInCapi, ThreadThatEndsInTimeIsJoined) {
    SilentLine line;
    RecordingReceiver receiver(line);
    CCAPIAccess capi(&line, receiver);
    CCAPIThread listener(capi);
    listener.Start();
    line.WaitUntilBlocked();
    listener.RequestStop();
    line.LetGo();
    EXPECT_TRUE(listener.StopWithin(std::chrono::hours(1)));
    EXPECT_TRUE(line.Puts().empty());
}

} // namespace
