// The supervisor of the CAPI line process, with small shell scripts standing in for the line
// process: one that dies by a signal, one that falls silent.
#include "capi/LineSupervisor.h"
#include "capi/CapiSharedLock.h"
#include "capi/LineProtocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fcntl.h>
#include <semaphore.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A lock of the test's own, not libcapi20's: other tests on the machine use the library.
TEST(CapiSharedLock, OnlyALockLeftTakenIsReleased) {
    const std::string name = "/tavo-test-lock-" + std::to_string(::getpid());
    EXPECT_FALSE(ReleaseStuckCapiLock(name, 50ms)); // none there

    sem_t* lock = ::sem_open(name.c_str(), O_CREAT | O_EXCL, 0600, 1);
    ASSERT_NE(lock, SEM_FAILED);
    int value = -1;
    EXPECT_FALSE(ReleaseStuckCapiLock(name, 50ms)); // free: taken and given back
    ASSERT_EQ(::sem_getvalue(lock, &value), 0);
    EXPECT_EQ(value, 1);

    ASSERT_EQ(::sem_wait(lock), 0); // as a process killed while holding it leaves it
    EXPECT_TRUE(ReleaseStuckCapiLock(name, 50ms));
    ASSERT_EQ(::sem_getvalue(lock, &value), 0);
    EXPECT_EQ(value, 1);

    // Held for a moment only, as the library does: waited for, not released twice.
    ASSERT_EQ(::sem_wait(lock), 0);
    std::thread holder([lock] {
        std::this_thread::sleep_for(20ms);
        ::sem_post(lock);
    });
    EXPECT_FALSE(ReleaseStuckCapiLock(name, 2000ms));
    holder.join();
    ASSERT_EQ(::sem_getvalue(lock, &value), 0);
    EXPECT_EQ(value, 1);
    ::sem_close(lock);
    ::sem_unlink(name.c_str());
}

std::string WithoutLineEnd(const std::string& line) {
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    return line.substr(0, line.size() - 1);
}

TEST(LinePipe, MessagesSurviveTheTripThroughThePipe) {
    LinePipeMessage call;
    call.kind = LinePipeMessage::Kind::Call;
    call.notice = {"0301 234", "", 0x80000101, 16}; // any bytes, and an empty number
    auto back = DecodeLinePipeMessage(WithoutLineEnd(EncodeLinePipeMessage(call)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, LinePipeMessage::Kind::Call);
    EXPECT_EQ(back->notice.callingNumber, "0301 234");
    EXPECT_EQ(back->notice.calledNumber, "");
    EXPECT_EQ(back->notice.connectionId, 0x80000101u);
    EXPECT_EQ(back->notice.cipValue, 16);

    LinePipeMessage message;
    message.kind = LinePipeMessage::Kind::Message;
    message.text = "Error: two\nlines";
    EXPECT_EQ(DecodeLinePipeMessage(WithoutLineEnd(EncodeLinePipeMessage(message)))->text,
              message.text);

    LinePipeMessage report;
    report.kind = LinePipeMessage::Kind::Report;
    report.report = LineReport(LineReport::Kind::Undecodable);
    report.report.count = 2;
    report.report.seconds = 60;
    report.report.code = 0x1102;
    report.report.text = "a b\n";
    report.report.bytes = {0x00, 0xFF, 0x0A};
    back = DecodeLinePipeMessage(WithoutLineEnd(EncodeLinePipeMessage(report)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, LinePipeMessage::Kind::Report);
    EXPECT_EQ(back->report.kind, LineReport::Kind::Undecodable);
    EXPECT_EQ(back->report.count, 2u);
    EXPECT_EQ(back->report.seconds, 60u);
    EXPECT_EQ(back->report.code, 0x1102u);
    EXPECT_EQ(back->report.text, "a b\n");
    EXPECT_EQ(back->report.bytes, report.report.bytes);

    for (const char* bad : {"", "call 101 16 35", "call xyz 16 35 35", "message 3", "message zz",
                            "ring", "report listening 1 0 0 -", "report hearing 1 0 0 - -",
                            "report lost -1 0 0 - -", "report lost 1 0 0 - 4", "alive ",
                            "log 6869", "call 101 16 35 35 busy", "call 101 16 35 35 refused ",
                            "ask 101 16 35 35 refused", "ask 101 16 35", "ask 101 x 35 35"})
        EXPECT_FALSE(DecodeLinePipeMessage(bad)) << bad;
}

TEST(LinePipe, RefusedCallsAndQuestionsSurviveTheTrip) {
    // The plain call line stays as it always was; only a refused call says so.
    LinePipeMessage call;
    call.kind = LinePipeMessage::Kind::Call;
    call.notice = {"0900", "5551", 0x101, 16};
    EXPECT_EQ(EncodeLinePipeMessage(call), "call 101 16 35353531 30393030\n");
    call.notice.refused = true;
    EXPECT_EQ(EncodeLinePipeMessage(call), "call 101 16 35353531 30393030 refused\n");
    auto back = DecodeLinePipeMessage(WithoutLineEnd(EncodeLinePipeMessage(call)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, LinePipeMessage::Kind::Call);
    EXPECT_TRUE(back->notice.refused);
    EXPECT_FALSE(DecodeLinePipeMessage("call 101 16 35353531 30393030")->notice.refused);

    LinePipeMessage ask;
    ask.kind = LinePipeMessage::Kind::Ask;
    ask.notice = {"0", "", 0xFFFFFFFF, -1};
    back = DecodeLinePipeMessage(WithoutLineEnd(EncodeLinePipeMessage(ask)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, LinePipeMessage::Kind::Ask);
    EXPECT_EQ(back->notice.callingNumber, "0");
    EXPECT_EQ(back->notice.calledNumber, "");
    EXPECT_EQ(back->notice.connectionId, 0xFFFFFFFFu);
    EXPECT_EQ(back->notice.cipValue, -1);
    EXPECT_FALSE(back->notice.refused);
}

TEST(LineCommands, CommandsSurviveTheTripAndWhatIsNoneIsDropped) {
    using Kind = LineCommand::Kind;
    // "stop" is what a monitor of every version has sent.
    EXPECT_EQ(EncodeLineCommand({Kind::Stop}), "stop\n");
    EXPECT_EQ(EncodeLineCommand({Kind::Refuse, 0x10201}), "refuse 10201\n");
    for (const LineCommand& command :
         {LineCommand{Kind::Stop}, LineCommand{Kind::ScreenOn}, LineCommand{Kind::ScreenOff},
          LineCommand{Kind::Refuse, 0x80000101}, LineCommand{Kind::Ignore, 0}}) {
        const auto back = DecodeLineCommand(WithoutLineEnd(EncodeLineCommand(command)));
        ASSERT_TRUE(back) << EncodeLineCommand(command);
        EXPECT_EQ(back->kind, command.kind);
        EXPECT_EQ(back->connectionId, command.connectionId);
    }
    for (const char* bad : {"", "stop ", "screen", "screen maybe", "refuse", "refuse 1 2",
                            "ignore xyz", "refuse -1", "refuse 100000000", "Stop"})
        EXPECT_FALSE(DecodeLineCommand(bad)) << bad;

    // In any pieces; a line too long to be a command is dropped up to its end, and what follows
    // it still counts.
    std::vector<LineCommand> got;
    LineCommandReader reader([&](const LineCommand& command) { got.push_back(command); });
    const std::string stream = "screen on\nrefuse 1" + std::string(kMaxLineCommand, '0') +
                               "1\nnonsense\nignore 101\nst";
    for (char c : stream)
        reader.Feed(std::string_view(&c, 1));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, Kind::ScreenOn);
    EXPECT_EQ(got[1].kind, Kind::Ignore);
    EXPECT_EQ(got[1].connectionId, 0x101u);
    reader.Feed("op\n");
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2].kind, Kind::Stop);
}

struct PipeRead {
    PipeRead()
        : reader([this](LinePipeMessage&& m) { messages.push_back(std::move(m)); },
                 [this](const std::string& c) { complaints.push_back(c); }) {}
    std::vector<LinePipeMessage> messages;
    std::vector<std::string> complaints;
    LinePipeReader reader;
};

TEST(LinePipe, LinesArriveInAnyPiecesAndWhatIsNoMessageIsTold) {
    PipeRead pipe;
    const std::string stream = "alive\nregistering\nring 1\nring 2\nmessage 4E6F\nrin\x01g\n"
                               "call 101 16 35 35\n";
    for (char c : stream)
        pipe.reader.Feed(std::string_view(&c, 1)); // a byte at a time
    ASSERT_EQ(pipe.messages.size(), 4u);
    EXPECT_EQ(pipe.messages[0].kind, LinePipeMessage::Kind::Alive);
    EXPECT_EQ(pipe.messages[1].kind, LinePipeMessage::Kind::Registering);
    EXPECT_EQ(pipe.messages[2].text, "No");
    EXPECT_EQ(pipe.messages[3].notice.connectionId, 0x101u);
    // Told once per kind, with the first bytes shown safely.
    ASSERT_EQ(pipe.complaints.size(), 2u);
    EXPECT_NE(pipe.complaints[0].find("\"ring\"): ring 1"), std::string::npos)
        << pipe.complaints[0];
    EXPECT_NE(pipe.complaints[1].find("rin\\x01g"), std::string::npos) << pipe.complaints[1];
}

TEST(LinePipe, ALineWithoutAnEndIsToldOnceAndDroppedUpToItsEnd) {
    PipeRead pipe;
    const std::string chunk(4096, 'x');
    for (size_t sent = 0; sent < 3 * kMaxLinePipeLine; sent += chunk.size())
        pipe.reader.Feed(chunk);
    EXPECT_TRUE(pipe.messages.empty());
    ASSERT_EQ(pipe.complaints.size(), 1u);
    EXPECT_NE(pipe.complaints[0].find("longer than 65536 bytes"), std::string::npos);
    EXPECT_NE(pipe.complaints[0].find("xxxx..."), std::string::npos);
    pipe.reader.Feed("xxx\nalive\n");
    EXPECT_EQ(pipe.complaints.size(), 1u);
    ASSERT_EQ(pipe.messages.size(), 1u);
    EXPECT_EQ(pipe.messages[0].kind, LinePipeMessage::Kind::Alive);
    // A line of exactly the limit is still a line.
    pipe.reader.Feed("message " + std::string(kMaxLinePipeLine - 8, 'A') + "\n");
    EXPECT_EQ(pipe.messages.size(), 2u);
    EXPECT_EQ(pipe.complaints.size(), 1u);
}

struct Calls final : IncomingCallReceiver {
    void DeliverIncomingCall(const IncomingCallNotice& notice) override {
        std::lock_guard lock(mutex);
        plcis.push_back(notice.connectionId);
        changed.notify_all();
    }
    bool WaitFor(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return plcis.size() >= count; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint32_t> plcis;
};

TEST(LineSupervisor, ALineProcessThatDiesOrFallsSilentIsReplaced) {
    // The first process reports a call and dies of a segmentation fault; each later one (it is
    // given --again) reports a call and then says nothing more.
    const std::string script = "if [ \"$1\" = --again ]; then echo 'call 201 16 3535 3030';"
                               " exec sleep 30; fi;"
                               "echo 'report lock-released 0 0 0 - -'; echo 'call 101 16 3535 3030';"
                               " kill -SEGV $$";
    CapiLineSupervisor::Options options;
    options.command = {"/bin/sh", "-c", script, "sh"};
    options.heartbeatTimeout = 300ms;
    options.firstRestartDelay = 10ms;
    options.stopGrace = 200ms;
    std::mutex logMutex;
    std::vector<std::string> log;
    options.report = [&](const LineReport& report) {
        std::lock_guard lock(logMutex);
        log.push_back(LineReportText(report));
    };
    Calls calls;
    CapiLineSupervisor supervisor(calls, options);
    supervisor.Start();
    ASSERT_TRUE(calls.WaitFor(3));
    supervisor.Stop();
    EXPECT_TRUE(supervisor.IsFinished());

    std::lock_guard lock(logMutex);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], LineReportText(LineReport(LineReport::Kind::SharedLockReleased)));
    EXPECT_NE(log[1].find("signal 11 (SIGSEGV); restarting it in 0 s"), std::string::npos)
        << log[1];
    EXPECT_NE(log[2].find("stopped answering"), std::string::npos) << log[2];
    EXPECT_EQ(calls.plcis[0], 0x101u);
    EXPECT_EQ(calls.plcis[1], 0x201u);
    EXPECT_GE(supervisor.Starts(), 3u);
}

// A registration that failed leaves libcapi20 unable to register again in the same process:
// each attempt is a process of its own, and the pauses between them grow until one listens.
TEST(LineSupervisor, EachRegistrationRunsInAFreshProcessWithGrowingPauses) {
    const std::string counter = ::testing::TempDir() + "line-starts-" + std::to_string(::getpid());
    ::unlink(counter.c_str());
    // "Error: X" four times, then a line that listens and is lost, then one that stays. Every
    // process but the first must be told it is not the first.
    const std::string script =
        "f=" + counter + "; n=$(cat $f 2>/dev/null || echo 0); echo $((n+1)) > $f;"
        "[ $n = 0 ] || [ \"$1\" = --again ] || exit 9;"
        "case $n in"
        " [0-3]) echo 'report registration-failed 0 0 0 4572726F723A2058 -'; exit 75;;"
        " 4) echo 'report listening 2 0 0 - -'; echo 'report lost 0 0 0 - -'; exit 75;;"
        " *) echo 'hello there'; echo 'report listening 2 0 0 - -';"
        " echo 'call 101 16 3535 3030'; exec sleep 30;;"
        "esac";
    CapiLineSupervisor::Options options;
    options.command = {"/bin/sh", "-c", script, "sh"};
    options.healthyRun = 0ms;
    options.stopGrace = 200ms;
    std::mutex mutex;
    std::vector<long> pauses;
    std::vector<std::string> log;
    options.pause = [&](std::chrono::milliseconds delay) {
        std::lock_guard lock(mutex);
        pauses.push_back(delay.count());
        return true;
    };
    options.report = [&](const LineReport& report) {
        std::lock_guard lock(mutex);
        log.push_back(LineReportText(report));
    };
    Calls calls;
    CapiLineSupervisor supervisor(calls, options);
    supervisor.Start();
    ASSERT_TRUE(calls.WaitFor(1));
    supervisor.Stop();
    ::unlink(counter.c_str());

    std::lock_guard lock(mutex);
    EXPECT_EQ(pauses, (std::vector<long>{1000, 2000, 4000, 8000, 1000}));
    EXPECT_EQ(supervisor.Starts(), 6u);
    ASSERT_EQ(log.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 8),
              (std::vector<std::string>{
                  "Error: X", "retrying CAPI registration in 1 s",
                  "retrying CAPI registration in 2 s", "retrying CAPI registration in 4 s",
                  "retrying CAPI registration in 8 s", "listening on 2 controller(s)",
                  "CAPI connection lost", "retrying CAPI registration in 1 s"}));
    EXPECT_NE(log[8].find("no message"), std::string::npos) << log[8];
    EXPECT_NE(log[8].find("hello there"), std::string::npos) << log[8];
    EXPECT_EQ(log[9], "listening again on 2 controller(s)");
}

// Hands calls over one at a time and holds the first one until it is let go, as a receiver
// busy with a call does.
struct HeldCalls final : IncomingCallReceiver {
    void DeliverIncomingCall(const IncomingCallNotice& notice) override {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 20s, [&] { return !notices.empty() || released; });
        notices.push_back(notice);
        changed.notify_all();
    }
    bool WaitFor(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return notices.size() >= count; });
    }
    void Release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    std::vector<IncomingCallNotice> notices;
};

TEST(LineSupervisor, QuestionsAreAnsweredWhileACallIsBeingHandled) {
    // Told to screen first; then a call, and two questions (from 9000 and from 0301) whose
    // answers come back as calls, refused or not.
    const std::string script =
        "read -r w x; [ \"$w $x\" = 'screen on' ] || exit 9;"
        "echo 'call 101 16 3535 3030';"
        "answer() { read -r w p;"
        " if [ $w = refuse ]; then echo \"call $p 16 3535 $1 refused\";"
        " else echo \"call $p 16 3535 $1\"; fi; };"
        "echo 'ask 201 16 3535 39303030'; answer 39303030;"
        "echo 'ask 301 16 3535 30333031'; answer 30333031;"
        "exec sleep 30";
    CapiLineSupervisor::Options options;
    options.command = {"/bin/sh", "-c", script, "sh"};
    options.stopGrace = 200ms;
    std::atomic<int> asked{0};
    options.refuses = [&](const IncomingCallNotice& notice) {
        ++asked;
        return notice.callingNumber.rfind('9', 0) == 0;
    };
    HeldCalls calls;
    CapiLineSupervisor supervisor(calls, options);
    supervisor.SetScreening(true);
    supervisor.Start();
    // Both questions are answered while the first call is still held: the line process would
    // otherwise wait in vain and ignore the calls.
    for (int i = 0; i < 2000 && asked < 2; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(asked, 2);
    {
        std::lock_guard lock(calls.mutex);
        EXPECT_TRUE(calls.notices.empty());
    }
    calls.Release();
    ASSERT_TRUE(calls.WaitFor(3));
    supervisor.Stop();
    EXPECT_EQ(calls.notices[0].connectionId, 0x101u);
    EXPECT_FALSE(calls.notices[0].refused);
    EXPECT_EQ(calls.notices[1].connectionId, 0x201u);
    EXPECT_EQ(calls.notices[1].callingNumber, "9000");
    EXPECT_TRUE(calls.notices[1].refused);
    EXPECT_EQ(calls.notices[2].connectionId, 0x301u);
    EXPECT_FALSE(calls.notices[2].refused);
    EXPECT_EQ(supervisor.Starts(), 1u);
}

TEST(LineSupervisor, ALineProcessThatEndsOnItsOwnIsNotRestarted) {
    // No library, or a controller that refused the listen: the line process gives up for good.
    CapiLineSupervisor::Options options;
    options.command = {"/bin/sh", "-c", "echo 'message 4E6F'; exit 0"};
    options.firstRestartDelay = 10ms;
    Calls calls;
    CapiLineSupervisor supervisor(calls, options);
    supervisor.Start();
    for (int i = 0; i < 400 && !supervisor.IsFinished(); ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(supervisor.IsFinished());
    EXPECT_EQ(supervisor.Starts(), 1u);
}

} // namespace
