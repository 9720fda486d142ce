#pragma once
// The telnet server: one thread that listens on `telnetPort` and gives every client a session
// thread of its own, up to a limit. The main window owns one instance and starts, restarts and
// stops it with RestartTelnetServer.

#include "platform/ShowMessage.h"
#include "settings/Settings.h"
#include "telnet/TelnetDialogue.h"
#include "telnet/TelnetLogonDelay.h"
#include "telnet/TelnetSockets.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>


struct TelnetServerOptions {
    TelnetClock clock = [] { return std::time(nullptr); };
    MessageHandler message = ShowMessage;    // failures the user must see; server thread
    MessageHandler log = LogToStandardError; // events worth a line; any session thread
    TelnetSocketTimes times;
    TelnetDialogueTimes dialogue;
    size_t maxSessions = 8; // connections beyond these are turned away with a line
    // Sessions that have not logged on yet, from one client address at once.
    size_t maxLogonsPerAddress = 2;
    TelnetDelayRules delay;
    std::function<std::chrono::steady_clock::time_point()> delayClock =
        std::chrono::steady_clock::now;
};

// What the options sheet's OK does to the server, given the settings after the sheet, whether
// a server runs, and the port it listens on (the port before the sheet).
enum class TelnetChange { None, Stop, Start, Restart };
TelnetChange TelnetChangeAfterOptions(uint8_t telnetEnabled, bool serverRunning, int32_t telnetPort,
                                      int32_t rememberedPort);

class TelnetServer {
public:
    TelnetServer(TelnetSources sources, const GuardedSettings& settings, TelnetServerOptions options = {});
    ~TelnetServer(); // ends a dialogue in progress and the server thread
    TelnetServer(const TelnetServer&) = delete;
    TelnetServer& operator=(const TelnetServer&) = delete;

    // Ends the running server, if any (dialogues in progress end at once), then starts a new
    // one when `telnetEnabled` is exactly 1, and returns once it listens or has failed to.
    // `port` is the port the running server listens on. The new server binds to `address`
    // (an IPv4 or IPv6 address; empty: all local IPv4 addresses).
    // Call holding no view of the lists or the settings: the server may need them to end.
    void RestartTelnetServer(int port, const std::string& address = {});
    // After the options sheet's OK: restarts, stops or starts the server as the settings now
    // ask, on the address it was last given. `rememberedPort` is `telnetPort` from before the
    // sheet was opened.
    void ApplyTelnetOptions(int rememberedPort);

    // True while the server thread is in its accept loop (listening or in dialogues).
    bool IsRunning() const { return serverRunning.load(); }
    // The port the server listens on; 0 when none (telnetPort 0 listens on a free port).
    int ListeningPort() const;
    // Sessions that hold a slot: their dialogue has not ended and their client is still there.
    size_t SessionCount() const;

private:
    struct Session {
        std::thread thread;
        std::string peer;
        TelnetLogon logon;
        int socket = -1; // -1 once the session has let go of it
        bool loggedOn = false; // past the logon (or none was asked for)
        bool gone = false;     // its client has hung up or it was ended: it holds no slot
        bool finished = false;
    };

    void TelnetServerThread(const std::string& address);
    void ReportListenFailure(int port, const std::string& address);
    void Admit(int client, const std::string& peer);
    // Decides, under socketsMutex, whether a client from `peer` gets a session; may end a
    // session still logging on to make room. The text to refuse with, or empty.
    std::string_view MakeRoomLocked(const std::string& peer, bool logsOn);
    void MarkHungUpLocked();
    void RunSession(Session& session);
    void JoinFinishedSessions(bool all);
    size_t SessionCountLocked() const;
    void StopServerThread(int port);

    TelnetSources sources;
    const GuardedSettings& settings;
    TelnetServerOptions options;
    TelnetLogonDelay delay;  // kept across restarts
    std::string bindAddress; // the address last given to RestartTelnetServer; main thread

    std::atomic<bool> serverRunning{false};
    std::atomic<bool> stopRequested{false};

    // Guards the sockets the main thread acts on, so that it never shuts down a socket number
    // that the server thread has closed (and the system may have handed out again).
    mutable std::mutex socketsMutex;
    int listeningSocket = -1;
    int listeningPort = 0;
    std::list<Session> sessions;   // owned by the server thread; sockets shut down by a stop
    bool reportingFailure = false; // the thread only shows its failure and ends
    bool startDone = false;        // the new thread listens, or has failed to
    std::condition_variable startDoneChanged;

    std::mutex restartMutex;
    std::thread serverThread;
    // Threads that could not listen and may still wait for their message to be dismissed;
    // joining them at once could wait for the very thread that called us.
    std::vector<std::thread> failedThreads;
};
