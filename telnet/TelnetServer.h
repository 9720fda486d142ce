#pragma once
// The telnet server: one thread that listens on `telnetPort` and serves one client at a time.
// The main window owns one instance and starts, restarts and stops it with RestartTelnetServer.

#include "platform/ShowMessage.h"
#include "settings/Settings.h"
#include "telnet/TelnetDialogue.h"
#include "telnet/TelnetSockets.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

struct TelnetServerOptions {
    TelnetClock clock = [] { return std::time(nullptr); };
    MessageHandler message = ShowMessage; // called on the server thread
    TelnetSocketTimes times;
};

// What the options sheet's OK does to the server, given the settings after the sheet, whether
// a server runs, and the port it listens on (the port before the sheet).
enum class TelnetChange { None, Stop, Start, Restart };
TelnetChange TelnetChangeAfterOptions(uint8_t telnetEnabled, bool serverRunning, int32_t telnetPort,
                                      int32_t rememberedPort);

class TelnetServer {
public:
    TelnetServer(TelnetSources sources, Settings& settings, TelnetServerOptions options = {});
    ~TelnetServer(); // ends a dialogue in progress and the server thread
    TelnetServer(const TelnetServer&) = delete;
    TelnetServer& operator=(const TelnetServer&) = delete;

    // Ends the running server, if any (a dialogue in progress ends at once), then starts a new
    // one when `telnetEnabled` is exactly 1, and returns once it listens or has failed to.
    // `port` is the port the running server listens on.
    // Call without holding ListsMutex() or SettingsMutex(): the server may need them to end.
    void RestartTelnetServer(int port);
    // After the options sheet's OK: restarts, stops or starts the server as the settings now
    // ask. `rememberedPort` is `telnetPort` from before the sheet was opened.
    void ApplyTelnetOptions(int rememberedPort);

    // True while the server thread is in its accept loop (listening or in a dialogue).
    bool IsRunning() const { return serverRunning.load(); }
    // The port the server listens on; 0 when none (telnetPort 0 listens on a free port).
    int ListeningPort() const;

private:
    void TelnetServerThread();
    void ReportListenFailure(int port);
    void Serve(int client);
    void StopServerThread(int port);

    TelnetSources sources;
    Settings& settings;
    TelnetServerOptions options;

    std::atomic<bool> serverRunning{false};
    std::atomic<bool> stopRequested{false};

    // Guards the sockets the main thread acts on, so that it never shuts down a socket number
    // that the server thread has closed (and the system may have handed out again).
    mutable std::mutex socketsMutex;
    int listeningSocket = -1;
    int listeningPort = 0;
    int currentTelnetClient = -1;
    bool reportingFailure = false; // the thread only shows its failure and ends
    bool startDone = false;        // the new thread listens, or has failed to
    std::condition_variable startDoneChanged;

    std::mutex restartMutex;
    std::thread serverThread;
    // Threads that could not listen and may still wait for their message to be dismissed;
    // joining them at once could wait for the very thread that called us.
    std::vector<std::thread> failedThreads;
};
