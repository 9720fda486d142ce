// The supervisor of the CAPI line process, with small shell scripts standing in for the line
// process: one that dies by a signal, one that falls silent.
#include "capi/LineSupervisor.h"
#include "capi/CapiSharedLock.h"
#include "capi/LineProtocol.h"

#include <gtest/gtest.h>

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

TEST(LineProtocol, EventsSurviveTheTripThroughThePipe) {
    LineEvent call;
    call.kind = LineEvent::Kind::Call;
    call.notice = {"0301 234", "", 0x80000101, 16}; // any bytes, and an empty number
    auto back = DecodeLineEvent(EncodeLineEvent(call).substr(0, EncodeLineEvent(call).size() - 1));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, LineEvent::Kind::Call);
    EXPECT_EQ(back->notice.callingNumber, "0301 234");
    EXPECT_EQ(back->notice.calledNumber, "");
    EXPECT_EQ(back->notice.connectionId, 0x80000101u);
    EXPECT_EQ(back->notice.cipValue, 16);
    LineEvent message;
    message.kind = LineEvent::Kind::Message;
    message.text = "Error: two\nlines";
    std::string line = EncodeLineEvent(message);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(DecodeLineEvent(line.substr(0, line.size() - 1))->text, message.text);
    for (const char* bad : {"", "call 101 16 35", "call xyz 16 35 35", "log 3", "log zz", "ring"})
        EXPECT_FALSE(DecodeLineEvent(bad)) << bad;
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
                               "echo 'log 6869'; echo 'call 101 16 3535 3030'; kill -SEGV $$";
    CapiLineSupervisor::Options options;
    options.command = {"/bin/sh", "-c", script, "sh"};
    options.heartbeatTimeout = 300ms;
    options.firstRestartDelay = 10ms;
    options.stopGrace = 200ms;
    std::mutex logMutex;
    std::vector<std::string> log;
    options.log = [&](const std::string& line) {
        std::lock_guard lock(logMutex);
        log.push_back(line);
    };
    Calls calls;
    CapiLineSupervisor supervisor(calls, options);
    supervisor.Start();
    ASSERT_TRUE(calls.WaitFor(3));
    supervisor.Stop();
    EXPECT_TRUE(supervisor.IsFinished());

    std::lock_guard lock(logMutex);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "hi");
    EXPECT_NE(log[1].find("signal 11 (SIGSEGV); restarting it in 0 s"), std::string::npos)
        << log[1];
    EXPECT_NE(log[2].find("stopped answering"), std::string::npos) << log[2];
    EXPECT_EQ(calls.plcis[0], 0x101u);
    EXPECT_EQ(calls.plcis[1], 0x201u);
    EXPECT_GE(supervisor.Starts(), 3u);
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
