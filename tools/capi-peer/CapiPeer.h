#pragma once
// The loopback remote-CAPI server: one listening socket, any number of client connections, and
// the command lines that ring and end calls. Single-threaded: Step() waits on every socket and
// on the command input at once and serves whatever is ready.

#include "tools/capi-peer/PeerCommand.h"
#include "tools/capi-peer/PeerOptions.h"
#include "tools/capi-peer/RcapiFrame.h"
#include "tools/capi-peer/RouterFrame.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CapiPeer {
public:
    struct Output {
        std::function<void(const std::string&)> line;  // the record: one protocol line
        std::function<void(const std::string&)> error; // one human-readable complaint
    };

    CapiPeer(PeerOptions options, Output output);
    ~CapiPeer();
    CapiPeer(const CapiPeer&) = delete;
    CapiPeer& operator=(const CapiPeer&) = delete;

    // Binds and listens. Returns an error text, empty on success.
    std::string Start();
    unsigned Port() const { return port; }
    // Reads command lines from this descriptor (standard input for the program); end of input
    // means quit. -1 (the default) reads nothing.
    void SetInput(int fd) { inputFd = fd; }

    // Waits at most timeoutMs for something to do and does it. False once the peer should stop.
    bool Step(int timeoutMs);
    // Runs one command line. False once the peer should stop.
    bool HandleCommandLine(std::string_view line);

    // How many connections are open (the library's probe counts too).
    size_t ConnectionCount() const { return connections.size(); }

private:
    struct Connection {
        uint64_t serial = 0;
        int fd = -1;
        FrameReader reader;
        RouterFrameReader routerReader; // --protocol router
        bool registered = false;
        std::optional<uint16_t> applId;
        std::map<uint32_t, uint32_t> listens; // controller -> CIP mask
        bool closing = false;
    };

    void Accept();
    void ReadFrom(Connection& connection);
    void ReadInput();
    void HandlePayload(Connection& connection, const Bytes& payload);
    void HandleControl(Connection& connection, const Bytes& payload);
    void HandleRouterRequest(Connection& connection, const RouterRequest& request);
    bool SendBytes(Connection& connection, const Bytes& bytes);
    void HandleMessage(Connection& connection, const Bytes& message);
    bool Send(Connection& connection, const Bytes& payload);
    void SendMessage(Connection& connection, const Bytes& message);
    void Close(Connection& connection, const char* why);
    void Sweep();

    void Ring(RingCommand ring);
    void Hangup(const HangupCommand& hangup);
    void Raw(const RawCommand& raw);
    void Frame(const FrameCommand& frame);
    void Drop();
    uint32_t NewPlci(uint32_t controller);
    Connection* Find(uint64_t serial);

    PeerOptions options;
    Output output;
    int listenFd = -1;
    unsigned port = 0;
    int inputFd = -1;
    std::string inputPending;
    bool quit = false;
    uint64_t nextSerial = 1;
    uint16_t nextMessageNumber = 1;
    uint32_t nextPlciNumber = 1;
    uint16_t nextApplId = 1; // the router protocol's server hands the ids out
    std::vector<std::unique_ptr<Connection>> connections;
    std::map<uint32_t, std::vector<uint64_t>> calls; // PLCI -> connections it was offered on
};
