#include "tools/capi-peer/CapiPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <type_traits>
#include <unistd.h>

namespace {

constexpr uint16_t InfoRefused = 0x1001;
constexpr uint16_t InfoIllegalController = 0x2002;
constexpr size_t MaxCommandLine = 64 * 1024;

std::string HexNumber(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

} // namespace

CapiPeer::CapiPeer(PeerOptions options, Output output)
    : options(std::move(options)), output(std::move(output)) {}

CapiPeer::~CapiPeer() {
    for (auto& connection : connections)
        ::close(connection->fd);
    if (listenFd >= 0)
        ::close(listenFd);
}

std::string CapiPeer::Start() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string service = std::to_string(options.port);
    int rc = ::getaddrinfo(options.host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0)
        return "cannot resolve '" + options.host + "': " + ::gai_strerror(rc);
    std::string error = "no address for '" + options.host + "'";
    for (addrinfo* a = found; a; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = std::string("socket: ") + std::strerror(errno);
            continue;
        }
        // A restarted peer must get its old port back while the old sockets linger.
        int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, 16) != 0) {
            error =
                "cannot listen on " + options.host + ":" + service + ": " + std::strerror(errno);
            ::close(fd);
            continue;
        }
        sockaddr_storage bound{};
        socklen_t size = sizeof bound;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
        port = bound.ss_family == AF_INET6
                   ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                   : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        listenFd = fd;
        break;
    }
    ::freeaddrinfo(found);
    if (listenFd < 0)
        return error;
    return "";
}

bool CapiPeer::Step(int timeoutMs) {
    if (quit)
        return false;
    std::vector<pollfd> fds;
    fds.push_back({listenFd, POLLIN, 0});
    if (inputFd >= 0)
        fds.push_back({inputFd, POLLIN, 0});
    size_t firstConnection = fds.size();
    std::vector<uint64_t> serials;
    for (auto& connection : connections) {
        fds.push_back({connection->fd, POLLIN, 0});
        serials.push_back(connection->serial);
    }
    int ready = ::poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0) {
        if (errno != EINTR)
            output.error(std::string("poll: ") + std::strerror(errno));
        return !quit;
    }
    // Connections first, so a client's message that arrived together with a command line is
    // recorded before the command acts.
    for (size_t i = firstConnection; i < fds.size(); ++i) {
        if (fds[i].revents == 0)
            continue;
        if (Connection* connection = Find(serials[i - firstConnection]))
            ReadFrom(*connection);
    }
    Sweep();
    if (fds[0].revents & POLLIN)
        Accept();
    if (inputFd >= 0 && fds[1].revents != 0)
        ReadInput();
    Sweep();
    return !quit;
}

void CapiPeer::Accept() {
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        if (errno != EAGAIN && errno != EINTR)
            output.error(std::string("accept: ") + std::strerror(errno));
        return;
    }
    // Small frames, answered at once: do not let Nagle hold a reply back.
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto connection = std::make_unique<Connection>();
    connection->serial = nextSerial++;
    connection->fd = fd;
    connections.push_back(std::move(connection));
}

void CapiPeer::ReadFrom(Connection& connection) {
    uint8_t buffer[4096];
    ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0) {
        Close(connection, nullptr);
        return;
    }
    if (got < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            Close(connection, std::strerror(errno));
        return;
    }
    if (options.protocol == PeerProtocol::Router) {
        connection.routerReader.Append(buffer, static_cast<size_t>(got));
        while (auto message = connection.routerReader.NextMessage()) {
            if (auto request = ParseRouterRequest(*message))
                HandleRouterRequest(connection, *request);
            else
                HandleMessage(connection, *message);
            if (connection.closing)
                return;
        }
        if (connection.routerReader.Broken())
            Close(connection, ("a frame without its mark or announcing " +
                               std::to_string(connection.routerReader.BadLength()) + " bytes")
                                  .c_str());
        return;
    }
    connection.reader.Append(buffer, static_cast<size_t>(got));
    while (auto payload = connection.reader.NextPayload()) {
        HandlePayload(connection, *payload);
        if (connection.closing)
            return;
    }
    if (connection.reader.Broken())
        Close(connection,
              ("a frame announced " + std::to_string(connection.reader.BadLength()) + " bytes")
                  .c_str());
}

void CapiPeer::HandlePayload(Connection& connection, const Bytes& payload) {
    if (ParseControlRequest(payload))
        HandleControl(connection, payload);
    else
        HandleMessage(connection, payload);
}

void CapiPeer::HandleControl(Connection& connection, const Bytes& payload) {
    if (options.silent)
        return;
    auto request = ParseControlRequest(payload);
    PeerIdentity identity{options.controllers, options.refuseRegister ? InfoRefused : uint16_t{0}};
    auto reply = BuildControlReply(payload, identity);
    if (!reply) {
        output.error("unknown control request " + FormatHex(payload) + "; not answered");
        return;
    }
    if (request->code == static_cast<uint8_t>(ControlCode::Register)) {
        if (options.hangRegister) {
            output.line("unanswered register");
            return;
        }
        if (options.refuseRegister)
            output.error("refused a registration");
        else
            connection.registered = true;
    }
    Send(connection, *reply);
}

void CapiPeer::HandleRouterRequest(Connection& connection, const RouterRequest& request) {
    if (options.silent)
        return;
    if (request.kind == RouterRequest::Kind::Profile) {
        uint16_t info = 0;
        const Bytes profile =
            PeerProfile(PeerIdentity{options.controllers, 0}, request.controller, info);
        // An unknown controller has an empty profile: this answer carries no error of its own.
        SendBytes(connection, RouterProfileAnswer(profile));
        return;
    }
    if (options.hangRegister) {
        output.line("unanswered register");
        return;
    }
    if (options.refuseRegister) {
        output.error("refused a registration");
        SendBytes(connection, RouterRegisterAnswer(0, InfoRefused));
        return;
    }
    // Here the server names the application: it is known from the answer on.
    const uint16_t applId = nextApplId++;
    if (nextApplId == 0)
        nextApplId = 1;
    connection.registered = true;
    connection.applId = applId;
    if (SendBytes(connection, RouterRegisterAnswer(applId, 0)))
        output.line("registered " + std::to_string(applId));
}

void CapiPeer::HandleMessage(Connection& connection, const Bytes& message) {
    auto header = ReadCapiHeader(message);
    if (connection.registered && !connection.applId && header) {
        connection.applId = header->applId;
        output.line("registered " + std::to_string(header->applId));
    }
    output.line("< " + FormatHex(message));
    if (!header) {
        output.error("a message shorter than a CAPI header");
        return;
    }
    if (header->length != message.size())
        output.error("a message whose length field says " + std::to_string(header->length) +
                     " but which has " + std::to_string(message.size()) + " bytes");
    if (!connection.registered) {
        output.error("a CAPI message on a connection that never registered");
        return;
    }
    if (options.silent)
        return;
    if (auto listen = ParseListenRequest(message)) {
        uint32_t controller = listen->controller & 0x7F;
        bool known = controller >= 1 && controller <= options.controllers;
        if (known)
            connection.listens[controller] = listen->cipMask;
        SendMessage(connection, BuildListenConf(*listen, known ? 0 : InfoIllegalController));
        return;
    }
    if (header->subcommand == SubResponse &&
        (header->command == CommandConnect || header->command == CommandDisconnect)) {
        auto plci = ReadAddress(message);
        auto call = plci ? calls.find(*plci) : calls.end();
        if (call == calls.end()) {
            output.error("a response for PLCI " + (plci ? HexNumber(*plci, 8) : "?") +
                         ", which no call has");
            return;
        }
        if (header->command == CommandDisconnect) {
            std::erase(call->second, connection.serial);
            if (call->second.empty())
                calls.erase(call);
        }
    }
}

bool CapiPeer::Send(Connection& connection, const Bytes& payload) {
    return SendBytes(connection, options.protocol == PeerProtocol::Router
                                     ? EncodeRouterFrame(payload)
                                     : EncodeFrame(payload));
}

bool CapiPeer::SendBytes(Connection& connection, const Bytes& frame) {
    size_t sent = 0;
    // One send() for the whole frame: the library reads the length prefix with one recv and
    // then the rest; a short write is finished below but is not expected for these sizes.
    while (sent < frame.size()) {
        ssize_t n = ::send(connection.fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Close(connection, std::strerror(errno));
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

void CapiPeer::SendMessage(Connection& connection, const Bytes& message) {
    if (Send(connection, message))
        output.line("> " + FormatHex(message));
}

void CapiPeer::Close(Connection& connection, const char* why) {
    if (connection.closing)
        return;
    connection.closing = true;
    if (why)
        output.error("closing a connection: " + std::string(why));
    if (connection.applId)
        output.line("released " + std::to_string(*connection.applId));
    else if (connection.registered)
        output.error("an application left before sending any message");
}

void CapiPeer::Sweep() {
    for (auto it = connections.begin(); it != connections.end();) {
        if (!(*it)->closing) {
            ++it;
            continue;
        }
        uint64_t serial = (*it)->serial;
        for (auto call = calls.begin(); call != calls.end();) {
            std::erase(call->second, serial);
            call = call->second.empty() ? calls.erase(call) : std::next(call);
        }
        ::close((*it)->fd);
        it = connections.erase(it);
    }
}

CapiPeer::Connection* CapiPeer::Find(uint64_t serial) {
    for (auto& connection : connections)
        if (connection->serial == serial && !connection->closing)
            return connection.get();
    return nullptr;
}

void CapiPeer::ReadInput() {
    char buffer[4096];
    ssize_t got = ::read(inputFd, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (got <= 0) {
        // End of input: whatever is left is the last line.
        if (!inputPending.empty())
            HandleCommandLine(inputPending);
        quit = true;
        return;
    }
    inputPending.append(buffer, static_cast<size_t>(got));
    size_t newline;
    while (!quit && (newline = inputPending.find('\n')) != std::string::npos) {
        std::string line = inputPending.substr(0, newline);
        inputPending.erase(0, newline + 1);
        HandleCommandLine(line);
        Sweep();
    }
    if (inputPending.size() > MaxCommandLine) {
        output.error("command line too long; ignored");
        inputPending.clear();
    }
}

bool CapiPeer::HandleCommandLine(std::string_view line) {
    PeerCommandResult parsed = ParsePeerCommand(line);
    if (!parsed.error.empty()) {
        output.error(parsed.error);
        return !quit;
    }
    std::visit(
        [this](auto&& command) {
            using T = std::decay_t<decltype(command)>;
            if constexpr (std::is_same_v<T, RingCommand>)
                Ring(command);
            else if constexpr (std::is_same_v<T, HangupCommand>)
                Hangup(command);
            else if constexpr (std::is_same_v<T, RawCommand>)
                Raw(command);
            else if constexpr (std::is_same_v<T, FrameCommand>)
                Frame(command);
            else if constexpr (std::is_same_v<T, DropCommand>)
                Drop();
            else if constexpr (std::is_same_v<T, QuitCommand>)
                quit = true;
        },
        parsed.command);
    Sweep();
    return !quit;
}

uint32_t CapiPeer::NewPlci(uint32_t controller) {
    // Bits 8..15 number the call on its controller; skip numbers still in use.
    for (int tries = 0; tries < 255; ++tries) {
        uint32_t plci = nextPlciNumber << 8 | controller;
        nextPlciNumber = nextPlciNumber % 255 + 1;
        if (!calls.contains(plci))
            return plci;
    }
    return nextPlciNumber << 8 | controller;
}

void CapiPeer::Ring(RingCommand ring) {
    if (!ring.plciGiven)
        ring.call.plci = NewPlci(ring.controller);
    uint32_t controller = ring.call.plci & 0x7F;
    std::vector<uint64_t> offered;
    for (auto& connection : connections) {
        if (connection->closing || !connection->registered)
            continue;
        auto listen = connection->listens.find(controller);
        if (listen == connection->listens.end())
            continue;
        // Bit 0 of the CIP mask admits every service; otherwise the call's own bit must be set.
        uint32_t mask = listen->second;
        bool wanted = (mask & 1) || (ring.call.cip < 32 && (mask >> ring.call.cip & 1));
        if (!wanted)
            continue;
        SendMessage(*connection, BuildConnectInd(connection->applId.value_or(0),
                                                 nextMessageNumber++, ring.call));
        if (!connection->closing)
            offered.push_back(connection->serial);
    }
    if (offered.empty()) {
        output.error("no application listens for CIP " + std::to_string(ring.call.cip) +
                     " on controller " + std::to_string(controller) + "; the call is not offered");
        return;
    }
    calls[ring.call.plci] = offered;
}

void CapiPeer::Hangup(const HangupCommand& hangup) {
    auto call = calls.find(hangup.plci);
    if (call == calls.end()) {
        output.error("no call has PLCI " + HexNumber(hangup.plci, 8));
        return;
    }
    for (uint64_t serial : call->second)
        if (Connection* connection = Find(serial))
            SendMessage(*connection,
                        BuildDisconnectInd(connection->applId.value_or(0), nextMessageNumber++,
                                           hangup.plci, hangup.reason));
}

void CapiPeer::Raw(const RawCommand& raw) {
    bool sent = false;
    for (auto& connection : connections) {
        if (connection->closing || !connection->registered)
            continue;
        SendMessage(*connection, raw.message);
        sent = true;
    }
    if (!sent)
        output.error("no application is registered; nothing sent");
}

void CapiPeer::Frame(const FrameCommand& frame) {
    bool sent = false;
    for (auto& connection : connections) {
        if (connection->closing || !connection->registered)
            continue;
        size_t done = 0;
        while (done < frame.bytes.size()) {
            ssize_t n = ::send(connection->fd, frame.bytes.data() + done, frame.bytes.size() - done,
                               MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                Close(*connection, std::strerror(errno));
                break;
            }
            done += static_cast<size_t>(n);
        }
        if (done == frame.bytes.size())
            output.line("frame " + std::to_string(done) + " bytes sent");
        sent = true;
    }
    if (!sent)
        output.error("no application is registered; nothing sent");
}

void CapiPeer::Drop() {
    bool dropped = false;
    for (auto& connection : connections) {
        if (connection->closing || !connection->registered)
            continue;
        connection->closing = true;
        dropped = true;
        if (connection->applId)
            output.line("dropped " + std::to_string(*connection->applId));
    }
    if (!dropped)
        output.error("no application is registered; nothing dropped");
}
