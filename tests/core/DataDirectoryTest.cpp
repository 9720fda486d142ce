#include "platform/DataDirectory.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Sets or unsets environment variables for one test and puts them back afterwards.
class Environment {
public:
    void Set(const char* name, const char* value) {
        if (!saved.count(name)) {
            const char* old = std::getenv(name);
            saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~Environment() {
        for (auto& [name, value] : saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved;
};

fs::path FreshDir() {
    std::string pattern = (fs::temp_directory_path() / "tavo-dd-XXXXXX").string();
    return mkdtemp(pattern.data());
}

} // namespace

TEST(DataDirectory, ChoiceFollowsOptionThenEnvironment) {
    Environment env;
    env.Set("TAVO_DATA_DIR", "/srv/tavo");
    env.Set("XDG_DATA_HOME", "/xdg");
    env.Set("HOME", "/home/user");
    EXPECT_EQ(ChooseDataDirectory(std::string("/given")).path, "/given");
    EXPECT_EQ(ChooseDataDirectory(std::nullopt).path, "/srv/tavo");
    env.Set("TAVO_DATA_DIR", "");
    EXPECT_EQ(ChooseDataDirectory(std::nullopt).path, "/xdg/TAVO");
    env.Set("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(ChooseDataDirectory(std::nullopt).path, "/home/user/.local/share/TAVO");
    // A relative XDG_DATA_HOME is not valid and is ignored.
    env.Set("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(ChooseDataDirectory(std::nullopt).path, "/home/user/.local/share/TAVO");
    // Without HOME the password database names the home directory, as for the settings.
    env.Set("XDG_DATA_HOME", nullptr);
    env.Set("HOME", nullptr);
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(ChooseDataDirectory(std::nullopt).path,
              std::string(user->pw_dir) + "/.local/share/TAVO");
    EXPECT_FALSE(ChooseDataDirectory(std::string()).error.empty());
}

TEST(DataDirectory, EnteringCreatesAndChangesIntoIt) {
    fs::path base = FreshDir();
    fs::path wanted = base / "a" / "b";
    ASSERT_EQ(EnterDataDirectory(wanted.string()), "");
    EXPECT_TRUE(fs::is_directory(wanted));
    EXPECT_EQ(fs::current_path(), wanted);
    EXPECT_EQ(DataDirectoryPath(), wanted.string());

    // The handler writes its log after returning here, wherever the process had wandered.
    ASSERT_EQ(chdir(base.c_str()), 0);
    ChangeToProgramDirectory();
    EXPECT_EQ(fs::current_path(), wanted);
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(base);
}

TEST(DataDirectory, UnusablePlacesAreRefusedAndTheOldOneKept) {
    fs::path base = FreshDir();
    ASSERT_EQ(EnterDataDirectory((base / "good").string()), "");
    std::ofstream((base / "file")).put('x');
    EXPECT_NE(EnterDataDirectory((base / "file").string()), "");
    EXPECT_NE(EnterDataDirectory((base / "file" / "below").string()), "");
    EXPECT_NE(EnterDataDirectory(""), "");
    EXPECT_EQ(DataDirectoryPath(), (base / "good").string());
    EXPECT_EQ(fs::current_path(), base / "good");
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(base);
}

TEST(DataDirectory, EveryDemoRunGetsAnEmptyDirectoryOfItsOwn) {
    Environment env;
    fs::path runtime = FreshDir();
    env.Set("XDG_RUNTIME_DIR", runtime.c_str());
    DataDirectoryChoice first = MakeDemoDataDirectory();
    DataDirectoryChoice second = MakeDemoDataDirectory();
    ASSERT_FALSE(first.path.empty()) << first.error;
    ASSERT_FALSE(second.path.empty()) << second.error;
    EXPECT_NE(first.path, second.path);
    EXPECT_EQ(fs::path(first.path).parent_path(), runtime);
    EXPECT_TRUE(fs::is_empty(first.path));
    fs::remove_all(runtime);
}
