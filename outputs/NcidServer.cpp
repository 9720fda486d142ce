#include "outputs/NcidServer.h"

#include "outputs/NcidLines.h"
#include "platform/Version.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

// A client's line is never longer than this; the rest of a longer one is dropped.
constexpr size_t MaxClientLine = 1024;

void Close(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

struct NcidServer::Client {
    int fd = -1;
    std::string address;
    bool started = false; // the startup lines up to 300 have been sent
    bool noLog = false;
    SteadyClock::time_point helloDeadline;
    std::vector<std::string> replay; // the log as it was when the client came
    std::vector<std::string> held;   // calls that came during the startup
    std::string input;
    bool skippingLongLine = false;
    std::string output;
    bool dropped = false;
};

NcidServer::NcidServer(const NcidSettings& settings, const std::vector<CallEvent>& calls,
                       NcidServerOptions options)
    : settings(settings), options(std::move(options)), queue(this->options.queueCapacity) {
    if (!this->options.log)
        this->options.log = LogToStandardError;
    const size_t keep = static_cast<size_t>(settings.replay < 0 ? 0 : settings.replay);
    const size_t first = calls.size() > keep ? calls.size() - keep : 0;
    history.assign(calls.begin() + static_cast<std::ptrdiff_t>(first), calls.end());
}

NcidServer::~NcidServer() {
    queue.Close();
    if (thread.joinable())
        thread.join();
    for (Client& client : clients)
        Close(client.fd);
    Close(listeningSocket);
}

bool NcidServer::Start(std::string& error) {
    std::vector<std::string> problems;
    allowList = NcidAllowList::Parse(settings.allow, problems);
    for (const std::string& problem : problems)
        options.log("ncid: " + problem);
    if (allowList.Empty())
        options.log("ncid: [ncid] allow names no address: every client is refused");

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(settings.port);
    const char* host = settings.address.empty() ? nullptr : settings.address.c_str();
    if (const int rc = ::getaddrinfo(host, service.c_str(), &hints, &found); rc != 0) {
        error = "NCID server: address \"" + settings.address + "\": " + ::gai_strerror(rc);
        return false;
    }
    error = "NCID server: no address to listen on";
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 64) == 0) {
            listeningSocket = fd;
            break;
        }
        error = "NCID server: cannot listen on " + settings.address + " port " + service + ": " +
                std::strerror(errno);
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (listeningSocket < 0)
        return false;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(listeningSocket, reinterpret_cast<sockaddr*>(&bound), &length) == 0)
        port =
            ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    error.clear();
    thread = std::thread([this] {
        BecomeBackgroundThread();
        Run();
    });
    return true;
}

void NcidServer::Post(const OutputEvent& event) {
    if (!queue.Push(event))
        options.log("ncid: events came faster than they could be sent; the oldest was dropped");
}

void NcidServer::Run() {
    std::vector<pollfd> waits;
    while (!queue.Closed()) {
        waits.clear();
        waits.push_back({queue.WakeFd(), POLLIN, 0});
        waits.push_back({listeningSocket, POLLIN, 0});
        int timeout = -1;
        const auto now = SteadyClock::now();
        for (const Client& client : clients) {
            waits.push_back(
                {client.fd, static_cast<short>(POLLIN | (client.output.empty() ? 0 : POLLOUT)), 0});
            if (!client.started) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      client.helloDeadline - now)
                                      .count();
                const int wait = left < 0 ? 0 : static_cast<int>(left) + 1;
                timeout = timeout < 0 ? wait : std::min(timeout, wait);
            }
        }
        if (::poll(waits.data(), waits.size(), timeout) < 0 && errno != EINTR)
            break;

        if (waits[0].revents != 0)
            for (const OutputEvent& event : queue.TakeAll())
                Handle(event);
        for (size_t i = 0; i < clients.size(); ++i) {
            Client& client = clients[i];
            const short events = waits[i + 2].revents;
            if (events & (POLLIN | POLLHUP | POLLERR))
                Receive(client);
            if (!client.dropped && (events & POLLOUT))
                Flush(client);
            if (!client.dropped && !client.started && SteadyClock::now() >= client.helloDeadline)
                FinishStartup(client);
        }
        std::erase_if(clients, [](Client& client) {
            if (client.dropped)
                Close(client.fd);
            return client.fd < 0;
        });
        clientCount = clients.size();
        if (waits[1].revents != 0)
            AcceptClients();
    }
}

void NcidServer::AcceptClients() {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = ::accept4(listeningSocket, reinterpret_cast<sockaddr*>(&peer), &length,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const sockaddr* address = reinterpret_cast<const sockaddr*>(&peer);
        if (!allowList.Allows(address)) {
            options.log("ncid: refused " + AddressText(address) + ": not in [ncid] allow");
            ::close(fd);
            continue;
        }
        if (clients.size() >= options.maxClients) {
            const std::string full = "MSG: TAVO serves at most " +
                                     std::to_string(options.maxClients) +
                                     " clients; this connection is closed\r\n";
            (void)!::send(fd, full.data(), full.size(), MSG_NOSIGNAL);
            options.log("ncid: refused " + AddressText(address) + ": " +
                        std::to_string(options.maxClients) + " clients are connected");
            ::shutdown(fd, SHUT_WR);
            ::close(fd);
            continue;
        }
        // Clients that vanish without closing are found by the keepalive probes.
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        if (options.clientSendBufferBytes > 0)
            ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &options.clientSendBufferBytes,
                         sizeof options.clientSendBufferBytes);
        Client client;
        client.fd = fd;
        client.address = AddressText(address);
        client.helloDeadline = SteadyClock::now() + options.helloWait;
        for (const CallEvent& call : history)
            client.replay.push_back(NcidCallLine("CIDLOG", call));
        clients.push_back(std::move(client));
        // Counted before anything is sent, so a client that has its greeting is in the count.
        clientCount = clients.size();
        Send(clients.back(), std::string("200 Server: TAVO ") + TavoVersion);
        Send(clients.back(), "210 API: 1.0 Feature Set 1");
    }
}

void NcidServer::Receive(Client& client) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            Close(client.fd); // gone
            return;
        }
        if (n < 0)
            return;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            if (c != '\r' && c != '\n') {
                if (client.input.size() < MaxClientLine)
                    client.input += c;
                else
                    client.skippingLongLine = true;
                continue;
            }
            const std::string line = client.skippingLongLine ? std::string() : client.input;
            client.input.clear();
            client.skippingLongLine = false;
            // An empty line is a keepalive; lines after the startup are not commands we know.
            if (line.empty() || client.started)
                continue;
            if (line.rfind("HELLO:", 0) != 0) {
                FinishStartup(client);
                continue;
            }
            if (line.find("no_log") != std::string::npos)
                client.noLog = true;
            if (line.rfind("HELLO: CMD:", 0) == 0)
                FinishStartup(client);
        }
    }
}

void NcidServer::FinishStartup(Client& client) {
    if (client.started || client.fd < 0)
        return;
    client.started = true;
    if (client.noLog || settings.replay <= 0) {
        Send(client, "251 Call log not sent");
    } else if (client.replay.empty()) {
        Send(client, "252 Call log empty");
    } else {
        for (const std::string& line : client.replay)
            Send(client, line);
        Send(client, "250 End of call log");
    }
    Send(client, "300 End of connection startup");
    for (const std::string& line : client.held)
        Send(client, line);
    client.replay.clear();
    client.held.clear();
}

void NcidServer::Send(Client& client, const std::string& line) {
    if (client.dropped || client.fd < 0)
        return;
    if (client.output.size() + line.size() + 2 > options.clientBacklogBytes) {
        options.log("ncid: dropped " + client.address + ": it does not read what is sent");
        client.dropped = true;
        return;
    }
    client.output += line;
    client.output += "\r\n";
    Flush(client);
}

void NcidServer::Flush(Client& client) {
    while (!client.output.empty() && client.fd >= 0) {
        const ssize_t n =
            ::send(client.fd, client.output.data(), client.output.size(), MSG_NOSIGNAL);
        if (n > 0) {
            client.output.erase(0, static_cast<size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            Close(client.fd);
        }
    }
}

void NcidServer::Handle(const OutputEvent& event) {
    const CallEvent* call = std::get_if<CallEvent>(&event);
    if (call == nullptr || call->Repeat())
        return;
    const std::string line = NcidCallLine("CID", *call);
    for (Client& client : clients) {
        if (client.started)
            Send(client, line);
        else
            client.held.push_back(line);
    }
    history.push_back(*call);
    while (history.size() > static_cast<size_t>(std::max(settings.replay, 0)))
        history.pop_front();
}
