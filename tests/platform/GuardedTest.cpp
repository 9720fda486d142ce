// The guarded store: what a view writes is seen whole by readers on other threads, and a view
// held across a second taking of the lock stops the program with a message instead of hanging.
#include "platform/Guarded.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {
struct Pair {
    long first = 0;
    long second = 0;
};
} // namespace

TEST(GuardedTest, ReadersNeverSeeHalfAWrite) {
    Guarded<Pair> store;
    std::atomic<bool> stop{false};
    std::atomic<long> torn{0};
    std::atomic<long> reads{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const auto view = store.Read();
            if (view->first != view->second)
                ++torn;
            ++reads;
        }
    });
    for (long i = 1; i <= 2000; ++i) {
        const auto view = store.Write();
        view->first = i;
        std::this_thread::yield(); // give a reader without the lock its chance to look
        view->second = i;
    }
    // Let the reader look at least once after the last write, however loaded the machine.
    const long before = reads.load();
    while (reads.load() < before + 2)
        std::this_thread::yield();
    stop = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(store.Copy().second, 2000);
}

TEST(GuardedTest, AViewLivesUntilTheEndOfItsScope) {
    Guarded<std::vector<int>> store;
    store.Write()->push_back(1);
    {
        const auto view = store.Write();
        view->push_back(2);
    }
    // Both views were released: a third one can be taken on this thread.
    EXPECT_EQ(store.Read()->size(), 2u);
}

TEST(GuardedTest, TakingTheLockTwiceOnOneThreadStopsWithAMessage) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    Guarded<int> store;
    EXPECT_DEATH(
        {
            const auto writing = store.Write();
            const auto reading = store.Read();
        },
        "a lock was taken twice on one thread");
}
