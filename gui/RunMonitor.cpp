#include "gui/RunMonitor.h"

#include "core/DemoData.h"
#include "core/HeadlessMonitor.h"
#include "gui/CMonitorApp.h"
#include "gui/DisplayProbe.h"
#include "gui/InstanceHandOver.h"
#include "platform/DataDirectory.h"
#include "platform/InstanceLock.h"
#include "settings/Settings.h"

#include <QCoreApplication>

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
    // Before any thread starts: the environment is not read concurrently yet.
    setenv("XDG_CONFIG_HOME", config.c_str(), 1); // NOLINT(concurrency-mt-unsafe)
    std::error_code ec;
    if (std::filesystem::is_regular_file(userSettings, ec)) {
        const std::filesystem::path copy = SettingsFilePath();
        std::filesystem::create_directories(copy.parent_path(), ec);
        std::filesystem::copy_file(userSettings, copy, ec);
    }
    return SeedDemoData(dataDir);
}

// Another monitor runs with this data directory: a start with windows asks it to show its
// window; everything else ends here with the reason.
int HandOverToRunningMonitor(int argc, char** argv, const CommandLine& options, pid_t holder) {
    const std::string directory = DataDirectoryPath();
    const std::string who = holder > 0 ? " (process " + std::to_string(holder) + ")" : "";
    const auto askToShow = [&] {
        QCoreApplication app(argc, argv); // the socket's notifiers want one
        return AskRunningMonitorToShow(HandOverSocketName(directory));
    };
    if (!options.headless && ChooseGuiPlatform(CurrentDisplayEnvironment()) && askToShow()) {
        std::fprintf(stderr, "tavo: TAVO is already running with the data directory %s%s; its "
                             "window is shown.\n",
                     directory.c_str(), who.c_str());
        return 0;
    }
    std::fprintf(stderr,
                 "tavo: TAVO is already running with the data directory %s%s; this start ends "
                 "without touching its files.\n",
                 directory.c_str(), who.c_str());
    return 1;
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

    // One monitor per data directory: a second start never writes the files of the first.
    const InstanceLock instance = InstanceLock::Take(DataDirectoryPath());
    if (instance.state() == InstanceLock::State::Failed) {
        std::fprintf(stderr, "tavo: %s\n", instance.error().c_str());
        return 1;
    }
    if (instance.state() == InstanceLock::State::HeldByAnother)
        return HandOverToRunningMonitor(argc, argv, options, instance.holder());

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
            // Before any thread starts, as above.
            setenv("QT_QPA_PLATFORM", platform->c_str(), 1); // NOLINT(concurrency-mt-unsafe)
        code = CMonitorApp().Run(argc, argv, options);
    }

    if (removeAfter) {
        std::error_code ec;
        std::filesystem::current_path("/", ec);
        std::filesystem::remove_all(dataDir, ec);
    }
    return code;
}
