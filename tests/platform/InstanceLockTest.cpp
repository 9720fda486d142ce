#include "platform/InstanceLock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class InstanceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tavo-lock-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(directory, fs::perms::owner_all, ec);
        fs::remove_all(directory, ec);
    }
    std::string directory;
};

TEST_F(InstanceLockTest, OneHolderAtATimeWhoIsNamedToTheNext) {
    {
        InstanceLock first = InstanceLock::Take(directory);
        ASSERT_EQ(first.state(), InstanceLock::State::Held) << first.error();
        // A second open of the file, as a second start makes it, finds it taken and by whom.
        const InstanceLock second = InstanceLock::Take(directory);
        EXPECT_EQ(second.state(), InstanceLock::State::HeldByAnother);
        EXPECT_EQ(second.holder(), getpid());
        EXPECT_EQ(second.descriptor(), -1);
        // Moving the lock keeps it held.
        InstanceLock moved = std::move(first);
        EXPECT_EQ(InstanceLock::Take(directory).state(), InstanceLock::State::HeldByAnother);
    }
    // Freed with its holder.
    EXPECT_EQ(InstanceLock::Take(directory).state(), InstanceLock::State::Held);
}

TEST_F(InstanceLockTest, ChildProgramsDoNotInheritIt) {
    const InstanceLock lock = InstanceLock::Take(directory);
    ASSERT_EQ(lock.state(), InstanceLock::State::Held);
    const int flags = fcntl(lock.descriptor(), F_GETFD);
    ASSERT_GE(flags, 0);
    EXPECT_TRUE(flags & FD_CLOEXEC);
}

TEST_F(InstanceLockTest, AReadOnlyDirectoryIsLockedAllTheSame) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes every directory";
    fs::permissions(directory, fs::perms::owner_read | fs::perms::owner_exec);
    const InstanceLock first = InstanceLock::Take(directory);
    ASSERT_EQ(first.state(), InstanceLock::State::Held) << first.error();
    EXPECT_EQ(InstanceLock::Take(directory).state(), InstanceLock::State::HeldByAnother);
}

TEST_F(InstanceLockTest, AMissingDirectoryFailsWithTheReason) {
    const InstanceLock lock = InstanceLock::Take(directory + "/gone");
    EXPECT_EQ(lock.state(), InstanceLock::State::Failed);
    EXPECT_NE(lock.error().find("gone/tavo.lock"), std::string::npos) << lock.error();
}

} // namespace
