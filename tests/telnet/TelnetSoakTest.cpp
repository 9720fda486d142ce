// Long runs against the server: megabytes of keys and garbage, a thousand connections. Run with
// the other tests, under a label of their own ("soak").

#include "TelnetServerFixture.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <future>
#include <random>

namespace {
size_t CountEntries(const char* directory) {
    size_t count = 0;
    if (DIR* dir = opendir(directory)) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}
} // namespace

TEST_F(ServerTest, TenMegabytesOfRandomKeysAreAnsweredOneByOne) {
    Start();
    std::mt19937 random(42);
    std::string keys(10 * 1024 * 1024, '\0');
    size_t listings = 0;
    size_t bells = 0;
    for (char& key : keys) {
        // IAC (255) would begin telnet commands; the next test sends those.
        do {
            key = static_cast<char>(random() & 0xff);
        } while (key == 'x' || key == 'X' || key == '0' || key == '\xff');
        if (key >= '1' && key <= '3')
            ++listings;
        else
            ++bells;
    }
    TestClient client(Port());
    ASSERT_TRUE(client.Connected());
    // Read while sending: the server's answers would otherwise fill both sockets.
    auto answers = std::async(std::launch::async, [&] { return client.ReadToEnd(); });
    EXPECT_TRUE(client.Send(keys));
    EXPECT_TRUE(client.Send("x"));
    std::string got = answers.get();
    // Each listing key: its echo, an empty day (heading and two rules) and the menu again.
    const size_t listing = 1 + (4 + 25 + 2 + 18 + 75 + 75) + menu.size();
    EXPECT_EQ(got.size(),
              greeting.size() + menu.size() + bells + listings * listing + 1 + goodbye.size());
    EXPECT_EQ(static_cast<size_t>(std::count(got.begin(), got.end(), '\a')), bells);
    EXPECT_TRUE(std::string_view(got).ends_with("x" + goodbye));
}
TEST_F(ServerTest, TenMegabytesOfTelnetGarbageLeaveTheSessionWorking) {
    Start();
    std::mt19937 random(7);
    std::string keys(10 * 1024 * 1024, '\0');
    for (char& key : keys) {
        do {
            key = static_cast<char>(random() & 0xff);
        } while (key == 'x' || key == 'X' || key == '0');
    }
    // Whatever command or subnegotiation the garbage left open, two IAC SE close it.
    keys += "\xff\xf0\xff\xf0x";
    TestClient client(Port());
    ASSERT_TRUE(client.Connected());
    auto answers = std::async(std::launch::async, [&] {
        bool closed = false;
        std::string got = client.ReadToEnd(&closed);
        return closed ? got : std::string();
    });
    EXPECT_TRUE(client.Send(keys));
    std::string got = answers.get();
    EXPECT_TRUE(std::string_view(got).starts_with(greeting + menu));
    EXPECT_TRUE(std::string_view(got).ends_with("x" + goodbye));
    TestClient next(Port());
    LeaveAfterMenu(next);
}

TEST_F(ServerTest, ThousandConnectionsLeaveNoThreadsDescriptorsOrMemoryBehind) {
    Start();
    auto cycle = [&](int i) {
        TestClient client(Port());
        if (i % 2 == 0) {
            LeaveAfterMenu(client);
        } else {
            client.Send("\xff\xfb\x18"); // and go without a word
        }
    };
    for (int i = 0; i < 50; ++i)
        cycle(i);
    // Counted while a client is in its dialogue, so that every earlier connection is closed.
    auto countWhileServing = [&](size_t& threads, size_t& descriptors, long& memory) {
        TestClient client(Port());
        EXPECT_EQ(client.ReadUntil("TAVO> "), greeting + menu);
        EXPECT_TRUE(AwaitSessions(1)); // the sessions before have ended
        threads = CountEntries("/proc/self/task");
        descriptors = CountEntries("/proc/self/fd");
        memory = ResidentKilobytes();
        client.Send("x");
        EXPECT_TRUE(client.WaitForClose());
    };
    size_t threadsBefore, descriptorsBefore, threadsAfter, descriptorsAfter;
    long memoryBefore, memoryAfter;
    countWhileServing(threadsBefore, descriptorsBefore, memoryBefore);
    for (int i = 0; i < 1000; ++i)
        cycle(i);
    countWhileServing(threadsAfter, descriptorsAfter, memoryAfter);
    // A thread or socket of a session that has just ended may still be on its way out, here
    // and in the count before (which can then only be higher): wait until the counts settle at
    // the one before or below it. Fewer is fine, more is what is left behind.
    for (int i = 0; i < 1000 && (threadsAfter > threadsBefore || descriptorsAfter > descriptorsBefore);
         ++i) {
        std::this_thread::sleep_for(10ms);
        threadsAfter = CountEntries("/proc/self/task");
        descriptorsAfter = CountEntries("/proc/self/fd");
    }
    EXPECT_LE(threadsAfter, threadsBefore);
    EXPECT_LE(descriptorsAfter, descriptorsBefore);
    RecordProperty("resident_growth_kb", std::to_string(memoryAfter - memoryBefore));
    EXPECT_LT(memoryAfter - memoryBefore, 8 * 1024);
}
