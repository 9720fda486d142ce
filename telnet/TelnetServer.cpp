#include "telnet/TelnetServer.h"

#include "platform/Text.h"
#include "telnet/TelnetTexts.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

TelnetChange TelnetChangeAfterOptions(uint8_t telnetEnabled, bool serverRunning, int32_t telnetPort,
                                      int32_t rememberedPort) {
    if (telnetEnabled == 0 && serverRunning)
        return TelnetChange::Stop;
    if (telnetEnabled == 1 && !serverRunning)
        return TelnetChange::Start;
    if (telnetPort != rememberedPort)
        return TelnetChange::Restart;
    return TelnetChange::None;
}

TelnetServer::TelnetServer(TelnetSources sources, const GuardedSettings& settings, TelnetServerOptions options)
    : sources(sources), settings(settings), options(std::move(options)),
      lockout(this->options.lockout) {}

TelnetServer::~TelnetServer() {
    std::lock_guard restart(restartMutex);
    StopServerThread(ListeningPort());
    for (std::thread& thread : failedThreads)
        thread.join();
}

int TelnetServer::ListeningPort() const {
    std::lock_guard lock(socketsMutex);
    return listeningPort;
}

size_t TelnetServer::SessionCount() const {
    std::lock_guard lock(socketsMutex);
    return SessionCountLocked();
}

size_t TelnetServer::SessionCountLocked() const {
    size_t count = 0;
    for (const Session& session : sessions)
        count += session.finished ? 0 : 1;
    return count;
}

void TelnetServer::RestartTelnetServer(int port, const std::string& address) {
    std::lock_guard restart(restartMutex);
    StopServerThread(port);
    bindAddress = address;

    const uint8_t enabled = settings.Read()->telnetEnabled;
    if (enabled != 1)
        return;
    {
        std::lock_guard lock(socketsMutex);
        startDone = false;
    }
    try {
        serverThread = std::thread(&TelnetServer::TelnetServerThread, this, address);
    } catch (const std::system_error&) {
        options.message("Unable to start Telnet-Thread!");
        return;
    }
    // Whoever asks right after the restart (the options sheet's next OK, a client) should
    // find the server listening, or know that it is not.
    std::unique_lock lock(socketsMutex);
    startDoneChanged.wait(lock, [this] { return startDone; });
}

void TelnetServer::ApplyTelnetOptions(int rememberedPort) {
    uint8_t enabled;
    int32_t port;
    {
        const auto stored = settings.Read();
        enabled = stored->telnetEnabled;
        port = stored->telnetPort;
    }
    if (TelnetChangeAfterOptions(enabled, IsRunning(), port, rememberedPort) != TelnetChange::None)
        RestartTelnetServer(rememberedPort, std::string(bindAddress));
}

void TelnetServer::StopServerThread(int port) {
    bool failed;
    int wakeUpPort;
    {
        std::lock_guard lock(socketsMutex);
        stopRequested = true;
        // The port the server really listens on reaches it even when the caller's idea of the
        // port is stale (telnetPort 0 listens on a port of the system's choosing).
        wakeUpPort = listeningPort != 0 ? listeningPort : port;
        // Dialogues in progress end at once: their pending receives or sends return.
        for (Session& session : sessions)
            if (session.socket >= 0)
                shutdown(session.socket, SHUT_RDWR);
        failed = reportingFailure;
    }
    if (serverThread.joinable()) {
        if (failed) {
            failedThreads.push_back(std::move(serverThread));
        } else {
            // Only a server on all addresses is sure to be reached on 127.0.0.1.
            if (bindAddress.empty())
                SendWakeUpConnection(wakeUpPort);
            // The wake-up call may miss (another port was given, the connection was refused):
            // ending the accept directly makes sure the server thread ends all the same.
            {
                std::lock_guard lock(socketsMutex);
                if (listeningSocket >= 0)
                    shutdown(listeningSocket, SHUT_RDWR);
            }
            serverThread.join();
        }
    }
    std::lock_guard lock(socketsMutex);
    reportingFailure = false;
    stopRequested = false;
}

void TelnetServer::ReportListenFailure(int port, const std::string& address) {
    {
        std::lock_guard lock(socketsMutex);
        startDone = true;
        startDoneChanged.notify_all();
        // A restart already under way replaces this server: nobody needs to hear of it, and
        // the restart is waiting for this thread to end.
        if (stopRequested)
            return;
        reportingFailure = true;
    }
    std::string text = "Unable to create telnet server on port " + std::to_string(port);
    if (!address.empty())
        text += " at address " + address;
    options.message(text);
}

void TelnetServer::TelnetServerThread(const std::string& address) {
    const int port = settings.Read()->telnetPort;
    int listener = CreateListeningSocket(port, address);
    if (listener < 0) {
        ReportListenFailure(port, address);
        return;
    }
    {
        std::lock_guard lock(socketsMutex);
        listeningSocket = listener;
        listeningPort = LocalPort(listener);
        serverRunning = true;
        startDone = true;
        startDoneChanged.notify_all();
    }
    while (!stopRequested) {
        serverRunning = true;
        JoinFinishedSessions(false);
        std::string peer;
        int client = AcceptClient(listener, peer);
        if (client < 0) {
            // Out of descriptors and the like: wait a little instead of spinning.
            if (errno != EINTR && errno != ECONNABORTED && !stopRequested)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        Admit(client, peer);
    }
    JoinFinishedSessions(true);
    serverRunning = false;
    {
        std::lock_guard lock(socketsMutex);
        listeningSocket = -1;
        listeningPort = 0;
    }
    close(listener);
}

void TelnetServer::Admit(int client, const std::string& peer) {
    if (lockout.IsLockedOut(peer, options.lockoutClock())) {
        RefuseConnection(client, kTelnetLockedOut);
        return;
    }
    std::lock_guard lock(socketsMutex);
    // Decided under the lock, so that a stop either sees the new session and shuts it down,
    // or is seen here.
    if (stopRequested) {
        close(client);
        return;
    }
    if (SessionCountLocked() >= options.maxSessions) {
        RefuseConnection(client, kTelnetBusy);
        return;
    }
    Session& session = sessions.emplace_back();
    session.peer = peer;
    session.socket = client;
    try {
        session.thread = std::thread(&TelnetServer::RunSession, this, std::ref(session));
    } catch (const std::system_error&) {
        sessions.pop_back();
        RefuseConnection(client, kTelnetBusy);
    }
}

void TelnetServer::RunSession(Session& session) {
    int client;
    {
        std::lock_guard lock(socketsMutex);
        client = session.socket;
    }
    ConfigureClientSocket(client, options.times);
    TelnetLogon logon;
    {
        // Read afresh for every connection: a changed user id or password applies to the next
        // client without a restart.
        const auto stored = settings.Read();
        logon.userId = FieldText(stored->telnetUserId);
        logon.password = FieldText(stored->telnetPassword);
    }
    TelnetLogonResult result;
    {
        TelnetConnection connection(client, &stopRequested);
        connection.OfferOptions();
        result = RunTelnetDialogue(connection, logon, sources, options.clock, options.dialogue);
    }
    if (result == TelnetLogonResult::Refused &&
        lockout.RecordFailure(session.peer, options.lockoutClock())) {
        const TelnetLockoutRules& rules = lockout.Rules();
        options.log("telnet: " + session.peer + " refused for " +
                    std::to_string(rules.lockedFor.count() / 60) + " minutes after " +
                    std::to_string(rules.failures) + " failed logons within " +
                    std::to_string(rules.window.count()) + " seconds");
    }
    bool stopping;
    {
        // From here on a stop leaves this socket alone: its number may be reused once closed.
        std::lock_guard lock(socketsMutex);
        session.socket = -1;
        stopping = stopRequested;
    }
    if (stopping)
        close(client);
    else
        CloseGracefully(client);
    std::lock_guard lock(socketsMutex);
    session.finished = true;
}

void TelnetServer::JoinFinishedSessions(bool all) {
    std::list<Session> ended;
    {
        std::lock_guard lock(socketsMutex);
        for (auto it = sessions.begin(); it != sessions.end();) {
            auto next = std::next(it);
            if (all || it->finished)
                ended.splice(ended.end(), sessions, it);
            it = next;
        }
    }
    // Joined outside the lock: a session still running needs it to end.
    for (Session& session : ended)
        session.thread.join();
}
