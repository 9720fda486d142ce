#include "gui/RunMonitor.h"

#include "core/DemoData.h"
#include "core/HeadlessMonitor.h"
#include "gui/CMonitorApp.h"
#include "gui/DisplayProbe.h"
#include "platform/DataDirectory.h"
#include "settings/Settings.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A demo never writes the user's own files: without --data-dir it runs in a fresh directory of
// its own, with its settings there too.
std::string PrepareDemo(const CommandLine& options, std::string& dataDir, bool& removeAfter) {
    if (options.dataDir)
        return "";
    DataDirectoryChoice demo = MakeDemoDataDirectory();
    if (demo.path.empty())
        return demo.error;
    dataDir = demo.path;
    removeAfter = true;
    // The demo starts from a copy of the user's settings (telnet, speech, popup as the user set
    // them), and whatever it saves goes to that copy.
    const std::filesystem::path userSettings = SettingsFilePath();
    std::string config = (std::filesystem::path(dataDir) / "config").string();
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    std::error_code ec;
    if (std::filesystem::is_regular_file(userSettings, ec)) {
        const std::filesystem::path copy = SettingsFilePath();
        std::filesystem::create_directories(copy.parent_path(), ec);
        std::filesystem::copy_file(userSettings, copy, ec);
    }
    return SeedDemoData(dataDir);
}

} // namespace

int RunMonitor(int argc, char** argv, const CommandLine& options) {
    std::string dataDir;
    bool removeAfter = false;
    if (options.demo) {
        if (std::string error = PrepareDemo(options, dataDir, removeAfter); !error.empty()) {
            std::fprintf(stderr, "tavo: %s\n", error.c_str());
            return 1;
        }
    }
    if (dataDir.empty()) {
        DataDirectoryChoice choice = ChooseDataDirectory(options.dataDir);
        if (choice.path.empty()) {
            std::fprintf(stderr, "tavo: %s\n", choice.error.c_str());
            return 1;
        }
        dataDir = choice.path;
    }
    if (std::string error = EnterDataDirectory(dataDir); !error.empty()) {
        std::fprintf(stderr, "tavo: %s\n", error.c_str());
        return 1;
    }

    int code;
    if (options.headless) {
        code = RunHeadlessMonitor(argc, argv, options);
    } else if (const std::optional<std::string> platform =
                   ChooseGuiPlatform(CurrentDisplayEnvironment());
               !platform) {
        // No display, or one that is named but does not answer.
        std::fputs("no display: running headless\n", stderr);
        code = RunHeadlessMonitor(argc, argv, options);
    } else {
        if (!platform->empty())
            setenv("QT_QPA_PLATFORM", platform->c_str(), 1);
        code = CMonitorApp().Run(argc, argv, options);
    }

    if (removeAfter) {
        std::error_code ec;
        std::filesystem::current_path("/", ec);
        std::filesystem::remove_all(dataDir, ec);
    }
    return code;
}
