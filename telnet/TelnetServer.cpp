#include "telnet/TelnetServer.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace {
std::string FieldText(const char* field, size_t capacity) {
    return std::string(field, strnlen(field, capacity));
}
} // namespace

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

TelnetServer::TelnetServer(TelnetSources sources, Settings& settings, TelnetServerOptions options)
    : sources(sources), settings(settings), options(std::move(options)) {}

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

void TelnetServer::RestartTelnetServer(int port) {
    std::lock_guard restart(restartMutex);
    StopServerThread(port);

    uint8_t enabled;
    {
        std::lock_guard lock(SettingsMutex());
        enabled = settings.telnetEnabled;
    }
    if (enabled != 1)
        return;
    {
        std::lock_guard lock(socketsMutex);
        startDone = false;
    }
    try {
        serverThread = std::thread(&TelnetServer::TelnetServerThread, this);
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
        std::lock_guard lock(SettingsMutex());
        enabled = settings.telnetEnabled;
        port = settings.telnetPort;
    }
    if (TelnetChangeAfterOptions(enabled, IsRunning(), port, rememberedPort) != TelnetChange::None)
        RestartTelnetServer(rememberedPort);
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
        // A dialogue in progress ends at once: its pending receive or send returns.
        if (currentTelnetClient >= 0)
            shutdown(currentTelnetClient, SHUT_RDWR);
        failed = reportingFailure;
    }
    if (serverThread.joinable()) {
        if (failed) {
            failedThreads.push_back(std::move(serverThread));
        } else {
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

void TelnetServer::ReportListenFailure(int port) {
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
    options.message("Unable to create telnet server on port " + std::to_string(port));
}

void TelnetServer::TelnetServerThread() {
    int port;
    {
        std::lock_guard lock(SettingsMutex());
        port = settings.telnetPort;
    }
    int listener = CreateListeningSocket(port);
    if (listener < 0) {
        ReportListenFailure(port);
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
        int client = AcceptClient(listener);
        if (client < 0) {
            // Out of descriptors and the like: wait a little instead of spinning.
            if (errno != EINTR && errno != ECONNABORTED && !stopRequested)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        {
            std::lock_guard lock(socketsMutex);
            currentTelnetClient = client;
        }
        // Checked after publishing the client, so that a restart either sees the client and
        // shuts it down, or is seen here.
        if (!stopRequested)
            Serve(client);
        {
            std::lock_guard lock(socketsMutex);
            currentTelnetClient = -1;
        }
        if (stopRequested)
            close(client);
        else
            CloseGracefully(client);
    }
    serverRunning = false;
    {
        std::lock_guard lock(socketsMutex);
        listeningSocket = -1;
        listeningPort = 0;
    }
    close(listener);
}

void TelnetServer::Serve(int client) {
    ConfigureClientSocket(client, options.times);
    TelnetLogon logon;
    {
        // Read afresh for every connection: a changed user id or password applies to the next
        // client without a restart.
        std::lock_guard lock(SettingsMutex());
        logon.userId = FieldText(settings.telnetUserId, sizeof settings.telnetUserId);
        logon.password = FieldText(settings.telnetPassword, sizeof settings.telnetPassword);
    }
    TelnetConnection connection(client, &stopRequested);
    RunTelnetDialogue(connection, logon, sources, options.clock);
}
