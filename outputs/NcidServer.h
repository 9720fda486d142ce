#pragma once
// A TCP server speaking the NCID protocol, so NCID clients on phones and desktops show our
// calls. The protocol has no login: only the addresses of the allow-list are served.
//
// Start-up per client: "200 " greeting, "210 API", then the last calls as CIDLOG lines (or 251
// when the client asked for no log, 252 when there is none), then "300 End of connection
// startup". Each new call then goes to every client as a CID line. Clients that do not read are
// dropped when their backlog is full; nobody is waited for.

#include "outputs/BoundedQueue.h"
#include "outputs/CallOutput.h"
#include "outputs/NcidAllowList.h"
#include "settings/TavoConf.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

struct NcidServerOptions {
    size_t maxClients = 50;
    size_t clientBacklogBytes = size_t{64} * 1024;
    // The system's send buffer per client; 0 leaves the system's own (which grows by itself).
    int clientSendBufferBytes = 0;
    // How long a new client may take to send its HELLO lines before the log is sent.
    std::chrono::milliseconds helloWait{250};
    size_t queueCapacity = 256;
    OutputLog log = LogToStandardError;
    std::function<std::chrono::steady_clock::time_point()> clock = std::chrono::steady_clock::now;
};

class NcidServer final : public CallOutput {
public:
    // `history`: the calls of the history, oldest first; the last `settings.replay` are kept.
    NcidServer(const NcidSettings& settings, const std::vector<CallEvent>& history,
               NcidServerOptions options = {});
    ~NcidServer() override; // closes every connection
    NcidServer(const NcidServer&) = delete;
    NcidServer& operator=(const NcidServer&) = delete;

    // Listens and starts the thread; false with `error` when the address cannot be used. A
    // host name is listened on at every address it names (localhost: 127.0.0.1 and ::1); an
    // address this machine lacks among several is told in the log and left out.
    bool Start(std::string& error);
    // The port listened on (useful when the settings said 0).
    int Port() const { return port; }
    // Clients connected, whatever their state.
    size_t ClientCount() const { return clientCount.load(); }

    void Post(const OutputEvent& event) override;

private:
    struct Client;
    void Run();
    void AcceptClients(int listeningSocket);
    void Receive(Client& client);
    void FinishStartup(Client& client);
    void Send(Client& client, const std::string& line);
    void Flush(Client& client);
    void Handle(const OutputEvent& event);
    void Refuse(int fd, const sockaddr* address, const std::string& reason);
    bool Listen(std::string& error);

    NcidSettings settings;
    NcidServerOptions options;
    NcidAllowList allowList;
    std::deque<CallEvent> history;
    BoundedQueue<OutputEvent> queue;
    std::vector<Client> clients;
    NcidRefusals refusals;
    std::vector<int> listeningSockets;
    int port = 0;
    std::atomic<size_t> clientCount{0};
    std::thread thread;
};
