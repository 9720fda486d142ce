#include "outputs/NcidServer.h"
#include "platform/Text.h"

#include "outputs/NcidLines.h"
#include "platform/Version.h"

#include <algorithm>
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
    NcidClientLines input;
    std::string output;
    bool dropped = false;
};

NcidServer::NcidServer(const NcidSettings& settings, const std::vector<CallEvent>& calls,
                       NcidServerOptions options)
    : settings(settings), options(std::move(options)), queue(this->options.queueCapacity),
      refusals([this](const std::string& line) { this->options.log(line); }) {
    if (!this->options.log)
        this->options.log = LogToStandardError;
    if (!this->options.clock)
        this->options.clock = SteadyClock::now;
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
    for (int& fd : listeningSockets)
        Close(fd);
    refusals.Flush();
}

bool NcidServer::Start(std::string& error) {
    std::vector<std::string> problems;
    allowList = NcidAllowList::Parse(settings.allow, problems);
    for (const std::string& problem : problems)
        options.log("ncid: " + problem);
    if (allowList.Empty())
        options.log("ncid: [ncid] allow names no address: every client is refused");

    if (!Listen(error))
        return false;
    error.clear();
    thread = std::thread([this] {
        BecomeBackgroundThread();
        Run();
    });
    return true;
}

bool NcidServer::Listen(std::string& error) {
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
    std::vector<sockaddr_storage> addresses;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        sockaddr_storage address{};
        std::memcpy(&address, a->ai_addr, std::min<size_t>(a->ai_addrlen, sizeof address));
        // A name may be listed twice (in /etc/hosts and by the resolver): bound once.
        bool seen = false;
        for (const sockaddr_storage& other : addresses)
            seen = seen || std::memcmp(&other, &address, sizeof address) == 0;
        if (!seen && (address.ss_family == AF_INET || address.ss_family == AF_INET6))
            addresses.push_back(address);
    }
    ::freeaddrinfo(found);
    const bool several = addresses.size() > 1;
    std::vector<std::string> missing;
    error.clear();
    for (sockaddr_storage& address : addresses) {
        const bool v6 = address.ss_family == AF_INET6;
        const socklen_t length = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        // Port 0 is one port of the system's choosing, the same on every address.
        if (port != 0) {
            if (v6)
                reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(static_cast<uint16_t>(port));
            else
                reinterpret_cast<sockaddr_in&>(address).sin_port = htons(static_cast<uint16_t>(port));
        }
        const std::string text = AddressText(reinterpret_cast<sockaddr*>(&address));
        int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        int failure = fd < 0 ? errno : 0;
        if (fd >= 0) {
            const int on = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            // Next to an IPv4 socket on the same port, the IPv6 one takes IPv6 clients only.
            if (v6 && several)
                ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
                ::listen(fd, 64) != 0) {
                failure = errno;
                ::close(fd);
                fd = -1;
            }
        }
        if (fd >= 0) {
            listeningSockets.push_back(fd);
            if (port == 0) {
                sockaddr_storage bound{};
                socklen_t boundLength = sizeof bound;
                if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &boundLength) == 0)
                    port = ntohs(bound.ss_family == AF_INET6
                                     ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                     : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
            }
            continue;
        }
        const std::string problem = "cannot listen on " + text + " port " +
                                    std::to_string(port != 0 ? port : settings.port) + ": " +
                                    ErrorText(failure);
        // Among several addresses, one this machine does not have (IPv6 switched off) is left
        // out; anything else (the port is taken, no permission) fails the start.
        if (several && (failure == EADDRNOTAVAIL || failure == EAFNOSUPPORT)) {
            missing.push_back(problem);
            continue;
        }
        error = "NCID server: " + problem;
        break;
    }
    if (error.empty() && listeningSockets.empty())
        error = "NCID server: no address to listen on" +
                (missing.empty() ? std::string() : " (" + missing.front() + ")");
    if (!error.empty()) {
        for (int& fd : listeningSockets)
            Close(fd);
        listeningSockets.clear();
        port = 0;
        return false;
    }
    for (const std::string& problem : missing)
        options.log("ncid: " + problem + "; listening on the other addresses of " +
                    settings.address);
    return true;
}

void NcidServer::Post(const OutputEvent& event) {
    if (!queue.Push(event))
        options.log("ncid: events came faster than they could be sent; the oldest was dropped");
}

void NcidServer::Run() {
    std::vector<pollfd> waits;
    const size_t firstClient = 1 + listeningSockets.size();
    while (!queue.Closed()) {
        waits.clear();
        waits.push_back({queue.WakeFd(), POLLIN, 0});
        for (int fd : listeningSockets)
            waits.push_back({fd, POLLIN, 0});
        int timeout = -1;
        const auto now = SteadyClock::now();
        auto waitUntil = [&](SteadyClock::time_point until, SteadyClock::time_point from) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - from).count();
            const int wait = left < 0 ? 0 : static_cast<int>(std::min<long long>(left, 3600000)) + 1;
            timeout = timeout < 0 ? wait : std::min(timeout, wait);
        };
        for (const Client& client : clients) {
            waits.push_back(
                {client.fd, static_cast<short>(POLLIN | (client.output.empty() ? 0 : POLLOUT)), 0});
            if (!client.started)
                waitUntil(client.helloDeadline, now);
        }
        const auto logNow = options.clock();
        if (const auto next = refusals.Tick(logNow))
            waitUntil(*next, logNow);
        if (::poll(waits.data(), waits.size(), timeout) < 0 && errno != EINTR)
            break;

        if (waits[0].revents != 0)
            for (const OutputEvent& event : queue.TakeAll())
                Handle(event);
        for (size_t i = 0; i < clients.size(); ++i) {
            Client& client = clients[i];
            const short events = waits[i + firstClient].revents;
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
        // Counts whose minute is over are told before new refusals are counted.
        refusals.Tick(options.clock());
        for (size_t i = 0; i < listeningSockets.size(); ++i)
            if (waits[1 + i].revents != 0)
                AcceptClients(listeningSockets[i]);
    }
}

void NcidServer::Refuse(int fd, const sockaddr* address, const std::string& reason) {
    refusals.Refused(AddressText(address), reason, options.clock());
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

void NcidServer::AcceptClients(int listeningSocket) {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        int fd = ::accept4(listeningSocket, reinterpret_cast<sockaddr*>(&peer), &length,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const sockaddr* address = reinterpret_cast<const sockaddr*>(&peer);
        if (!allowList.Allows(address)) {
            Refuse(fd, address, "not in [ncid] allow");
            continue;
        }
        if (clients.size() >= options.maxClients) {
            const std::string full = "MSG: TAVO serves at most " +
                                     std::to_string(options.maxClients) +
                                     " clients; this connection is closed\r\n";
            (void)!::send(fd, full.data(), full.size(), MSG_NOSIGNAL);
            Refuse(fd, address, std::to_string(options.maxClients) + " clients are connected");
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
        std::vector<std::string> lines;
        client.input.Take(std::string_view(buffer, static_cast<size_t>(n)), lines);
        // Lines after the startup are not commands we know.
        for (const std::string& line : lines) {
            if (client.started)
                break;
            const NcidHello hello = ReadHello(line);
            client.noLog = client.noLog || hello.noLog;
            if (hello.endsStartup)
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
