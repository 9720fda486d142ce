#include "telnet/TelnetServer.h"

#include "platform/Text.h"
#include "telnet/TelnetTexts.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <poll.h>
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
      delay(this->options.delay) {}

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
        count += session.finished || session.gone ? 0 : 1;
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
    TelnetLogon logon;
    {
        // Read afresh for every connection: a changed user id or password applies to the next
        // client without a restart.
        const auto stored = settings.Read();
        logon.userId = FieldText(stored->telnetUserId);
        logon.password = FieldText(stored->telnetPassword);
    }
    std::lock_guard lock(socketsMutex);
    // Decided under the lock, so that a stop either sees the new session and shuts it down,
    // or is seen here.
    if (stopRequested) {
        close(client);
        return;
    }
    if (std::string_view refusal = MakeRoomLocked(peer, !logon.userId.empty()); !refusal.empty()) {
        RefuseConnection(client, refusal);
        return;
    }
    Session& session = sessions.emplace_back();
    session.peer = peer;
    session.logon = std::move(logon);
    session.loggedOn = session.logon.userId.empty();
    session.socket = client;
    try {
        session.thread = std::thread(&TelnetServer::RunSession, this, std::ref(session));
    } catch (const std::system_error&) {
        sessions.pop_back();
        RefuseConnection(client, kTelnetBusy);
    }
}

void TelnetServer::MarkHungUpLocked() {
    // A client that has gone frees its slot now, not once its session thread gets round to
    // noticing: on a busy machine that can be after the next client has been judged. Input it
    // sent before it went is still answered.
    for (Session& session : sessions) {
        if (session.finished || session.gone || session.socket < 0)
            continue;
        pollfd state{session.socket, POLLRDHUP, 0};
        if (poll(&state, 1, 0) > 0 && (state.revents & (POLLRDHUP | POLLHUP | POLLERR)))
            session.gone = true;
    }
}

std::string_view TelnetServer::MakeRoomLocked(const std::string& peer, bool logsOn) {
    auto loggingOnFrom = [this](const std::string& address) {
        size_t count = 0;
        for (const Session& session : sessions)
            if (!session.finished && !session.gone && !session.loggedOn && session.peer == address)
                ++count;
        return count;
    };
    // Sessions that have gone still run until they have answered what they got; they are
    // bounded all the same, so that clients that send and hang up cannot pile up threads.
    auto running = [this] {
        size_t count = 0;
        for (const Session& session : sessions)
            count += session.finished ? 0 : 1;
        return count;
    };
    const bool full = SessionCountLocked() >= options.maxSessions ||
                      running() >= 2 * options.maxSessions ||
                      (logsOn && loggingOnFrom(peer) >= options.maxLogonsPerAddress);
    if (!full)
        return {};
    MarkHungUpLocked();
    if (running() >= 2 * options.maxSessions)
        return kTelnetBusy;
    const size_t ownLogons = logsOn ? loggingOnFrom(peer) : 0;
    if (ownLogons >= options.maxLogonsPerAddress)
        return kTelnetBusyAddress;
    if (SessionCountLocked() < options.maxSessions)
        return {};
    // Full. Sessions that have logged on keep their slots; of those still logging on, the
    // oldest of the address that has most of them gives way, when that address has more than
    // the newcomer's: a client from another address always gets in, and nobody holds all the
    // slots with connections that never log on.
    std::map<std::string, size_t> logons;
    for (const Session& session : sessions)
        if (!session.finished && !session.gone && !session.loggedOn)
            ++logons[session.peer];
    Session* victim = nullptr;
    size_t most = ownLogons;
    for (Session& session : sessions) {
        if (session.finished || session.gone || session.loggedOn)
            continue;
        const size_t count = logons[session.peer];
        if (count > most) { // list order: the oldest of the address with most wins ties
            most = count;
            victim = &session;
        }
    }
    if (!victim)
        return kTelnetBusy;
    victim->gone = true;
    if (victim->socket >= 0)
        shutdown(victim->socket, SHUT_RDWR);
    options.log("telnet: a logon from " + victim->peer + " gave way to a client from " + peer +
                ": all sessions were taken");
    return {};
}

void TelnetServer::RunSession(Session& session) {
    int client;
    TelnetLogon logon;
    {
        std::lock_guard lock(socketsMutex);
        client = session.socket;
        logon = session.logon;
    }
    ConfigureClientSocket(client, options.times);
    TelnetLogonGate gate;
    gate.wait = [this, &session] {
        return std::chrono::ceil<std::chrono::milliseconds>(
            delay.WaitFor(session.peer, options.delayClock()));
    };
    gate.loggedOn = [this, &session] {
        std::lock_guard lock(socketsMutex);
        session.loggedOn = true;
    };
    TelnetLogonResult result;
    {
        TelnetConnection connection(client, &stopRequested);
        connection.EndWhenStalledFor(options.times.sendTimeout);
        connection.OfferOptions();
        result = RunTelnetDialogue(connection, logon, sources, options.clock, options.dialogue,
                                   gate);
    }
    if (result == TelnetLogonResult::Refused &&
        delay.RecordFailure(session.peer, options.delayClock())) {
        options.log("telnet: failed logons in a row from " + session.peer +
                    ": each further logon from it waits " +
                    std::to_string(delay.Rules().longest.count() / 1000) + " seconds");
    }
    if (result == TelnetLogonResult::LoggedOn && !logon.userId.empty())
        delay.RecordSuccess(session.peer);
    bool stopping;
    {
        // From here on a stop leaves this socket alone: its number may be reused once closed.
        // The dialogue is over: whatever the close still waits for holds no slot.
        std::lock_guard lock(socketsMutex);
        session.socket = -1;
        session.gone = true;
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
