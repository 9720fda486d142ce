// The line's state as the outputs are told it, from the real line process (`tavo capi-line`
// over libcapi20 against tavo-capi-peer) through the supervisor and the monitor's reading of the
// reports to an output of the test's own: listening at the start, lost when the server goes,
// back when it returns. The states travel typed; no log sentence is read back.
#include "MonitorScene.h"
#include "capi/LineSupervisor.h"
#include "core/CapiLineCommand.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

using namespace std::chrono_literals;

class FakeOutput {
public:
    void OnLine(const LineEvent& line) {
        std::lock_guard lock(mutex);
        states.push_back(line.state);
        changed.notify_all();
    }
    // The states so far once there are `count` of them (or after a generous wait).
    std::vector<LineState> WaitFor(size_t count) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 60s, [&] { return states.size() >= count; });
        return states;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<LineState> states;
};

struct Calls final : IncomingCallReceiver {
    void DeliverIncomingCall(const IncomingCallNotice& notice) override {
        std::lock_guard lock(mutex);
        numbers.push_back(notice.callingNumber);
        changed.notify_all();
    }
    bool WaitFor(size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 30s, [&] { return numbers.size() >= count; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> numbers;
};

TEST(LineState, ListeningLostAndBackReachTheOutputs) {
    MonitorScene scene;
    // The line process reads libcapi20's configuration from this home, not the machine's.
    ::setenv("HOME", scene.home.Path().c_str(), 1);
    ASSERT_NE(scene.StartPeer({}), 0u) << scene.Transcript();
    const unsigned port = scene.port;

    FakeOutput output;
    Calls calls;
    CapiLineSupervisor::Options options;
    options.command = {TAVO_PATH, "capi-line",
                       "--capi-remote=rcapi:127.0.0.1:" + std::to_string(port)};
    options.report = LineReportsTo([&output](const LineEvent& line) { output.OnLine(line); },
                                   [] { return std::time_t{1}; });
    CapiLineSupervisor supervisor(calls, options);
    supervisor.Start();
    EXPECT_EQ(output.WaitFor(1), std::vector<LineState>{LineState::Listening});
    ASSERT_TRUE(scene.WaitMessage('<', 0x05, 0x80)) << scene.Transcript();

    // The server goes: the line is lost, and stays lost while no server answers.
    ASSERT_TRUE(scene.StopPeer());
    scene.SkipRecord();
    EXPECT_EQ(output.WaitFor(2), (std::vector<LineState>{LineState::Listening, LineState::Lost}));

    ASSERT_EQ(scene.StartPeer({}, port), port) << scene.Transcript();
    EXPECT_EQ(output.WaitFor(3), (std::vector<LineState>{LineState::Listening, LineState::Lost,
                                                         LineState::Back}));
    ASSERT_TRUE(scene.WaitMessage('<', 0x05, 0x80)) << scene.Transcript();
    ASSERT_TRUE(scene.Ring("5551 301234")) << scene.Transcript();
    ASSERT_TRUE(calls.WaitFor(1)) << scene.Transcript();
    EXPECT_EQ(calls.numbers[0], "0301234");
    supervisor.Stop();
}

} // namespace
