#include "outputs/CallCommand.h"

#include "OutputTestCalls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavo-cmd-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Script(const std::string& name, const std::string& body) {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }
    OutputLog Sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            log += line + "\n";
        };
    }
    // Waits (bounded) until the log holds `count` lines containing `text`.
    bool WaitForLog(const std::string& text, int count = 1) {
        for (int i = 0; i < 1000; ++i) {
            {
                std::lock_guard lock(mutex);
                int found = 0;
                for (size_t at = log.find(text); at != std::string::npos;
                     at = log.find(text, at + 1))
                    ++found;
                if (found >= count)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::string Log() {
        std::lock_guard lock(mutex);
        return log;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string dir;
    std::mutex mutex;
    std::string log;
};

TEST_F(CommandTest, FieldsComeInTheEnvironmentAndArgumentsAreNeverExpanded) {
    CommandSettings settings;
    settings.program =
        Script("record", "env | grep '^TAVO_' | sort > \"$1\"\n"
                         "shift; for a in \"$@\"; do echo \"[$a]\"; done > \"$0.args\"\n");
    settings.arguments = dir + "/env  'two words' $HOME;rm\t*";
    CallCommand command(settings, Sink());
    std::string error;
    ASSERT_TRUE(command.Start(error)) << error;

    ::setenv("TAVO_NAME", "from the parent", 1); // the call's own value wins
    CallEvent call = SampleCall("040$(touch x);rm -rf ~", "O'Brien \"Bob\"");
    command.Post(call);
    ASSERT_TRUE(WaitForLog("exit status 0")) << Log();
    ::unsetenv("TAVO_NAME");

    EXPECT_EQ(Read(settings.program + ".args"), "['two]\n[words']\n[$HOME;rm]\n[*]\n");
    const std::string env = Read(dir + "/env");
    EXPECT_NE(env.find("TAVO_NUMBER=040$(touch x);rm -rf ~\n"), std::string::npos) << env;
    EXPECT_NE(env.find("TAVO_NAME=O'Brien \"Bob\"\n"), std::string::npos) << env;
    EXPECT_EQ(env.find("from the parent"), std::string::npos) << env;
    EXPECT_NE(env.find("TAVO_MSN=5551234\n"), std::string::npos);
    EXPECT_NE(env.find("TAVO_MSN_NAME=Office\n"), std::string::npos);
    EXPECT_NE(env.find("TAVO_SERVICE=Telephony\n"), std::string::npos);
    EXPECT_NE(env.find("TAVO_TIME=2026-03-01T18:05:00+01:00\n"), std::string::npos);
    EXPECT_NE(env.find("TAVO_PLACE=Hamburg\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir + "/x"));

    // A repeat of the call runs nothing: the second run is the next call.
    call.repeatCount = 2;
    command.Post(call);
    command.Post(SampleCall("0401"));
    ASSERT_TRUE(WaitForLog("exit status 0", 2));
    EXPECT_NE(Read(dir + "/env").find("TAVO_NUMBER=0401\n"), std::string::npos);
}

TEST_F(CommandTest, FailuresAndHangsReachTheLog) {
    CommandSettings failing;
    failing.program = Script("fail", "echo 'no such printer' >&2\necho second line >&2\nexit 3\n");
    CallCommand first(failing, Sink());
    std::string error;
    ASSERT_TRUE(first.Start(error));
    first.Post(SampleCall());
    ASSERT_TRUE(WaitForLog(": exit status 3")) << Log();
    ASSERT_TRUE(WaitForLog("fail: second line")) << Log();
    EXPECT_NE(Log().find("fail: no such printer\n"), std::string::npos) << Log();

    CommandSettings hanging;
    hanging.program = Script("hang", "sleep 60 &\nwait\n");
    hanging.timeoutSeconds = 1;
    CallCommand second(hanging, Sink());
    ASSERT_TRUE(second.Start(error));
    second.Post(SampleCall());
    second.Post(SampleCall("0402")); // waits its turn, then runs and is ended too
    ASSERT_TRUE(WaitForLog("hang: killed after 1 s", 2)) << Log();

    CommandSettings missing;
    missing.program = dir + "/not-there";
    CallCommand third(missing, Sink());
    ASSERT_TRUE(third.Start(error));
    third.Post(SampleCall());
    ASSERT_TRUE(WaitForLog("cannot start " + missing.program)) << Log();

    EXPECT_FALSE(CallCommand(CommandSettings{}).Start(error));
    EXPECT_NE(error.find("[command] program"), std::string::npos);
}

} // namespace
