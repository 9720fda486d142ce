#pragma once
// One end-to-end scene: tavo-capi-peer on an ephemeral loopback port and `tavo --headless`
// reaching it through the real libcapi20, each a child process with deadlines on every wait.
// HOME and the data and settings directories point into a temporary directory.

#include "ChildProcess.h"
#include "tools/capi-peer/Hex.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RecordedMessage {
    Bytes bytes;
    uint8_t Command() const { return bytes.size() > 5 ? bytes[4] : 0; }
    uint8_t Subcommand() const { return bytes.size() > 5 ? bytes[5] : 0; }
    uint16_t ApplId() const { return bytes.size() > 3 ? bytes[2] | bytes[3] << 8 : 0; }
    uint16_t MessageNumber() const { return bytes.size() > 7 ? bytes[6] | bytes[7] << 8 : 0; }
    uint32_t Address() const;
};

class MonitorScene {
public:
    using Duration = std::chrono::milliseconds;
    // Long: a sanitised monitor and its line process starting on a busy machine take seconds,
    // and passing tests never wait it out.
    static constexpr Duration Patience{30000};

    MonitorScene();

    // Starts the peer; port 0 picks a free one. Returns the port in use, 0 on failure.
    unsigned StartPeer(const std::vector<std::string>& options, unsigned port = 0);
    // Ends the peer with "quit" and waits for it.
    bool StopPeer();
    bool StartMonitor(unsigned port) { return StartMonitorIn(monitor, port); }
    // Another monitor on the same home and data directory (after the first one has ended).
    bool StartMonitorIn(ChildProcess& process, unsigned port);
    // Waits for the peer's "registered ID" line; the application id, or nullopt.
    std::optional<uint16_t> WaitRegistered(Duration timeout = Patience);

    // The next message of this command and subcommand that the peer sent ('>') or received
    // ('<'). Every record line before it is passed over, whatever its direction, so use
    // AllMessages when several messages cross.
    std::optional<RecordedMessage> WaitMessage(char direction, uint8_t command, uint8_t subcommand,
                                               Duration timeout = Patience);
    // All messages of this kind in the peer's record so far (read or not).
    std::vector<RecordedMessage> AllMessages(char direction, uint8_t command,
                                             uint8_t subcommand) const;

    // Passes over every record line that has arrived by now (after Collect, say).
    void SkipRecord();

    // Rings and returns the CONNECT_IND the peer sent.
    std::optional<RecordedMessage> Ring(const std::string& arguments);
    // The monitor's log line for a call after its time stamp, as the headless monitor prints it.
    static std::string CallLine(const std::string& calling, const std::string& called,
                                uint32_t plci, int cip);
    std::optional<std::string> WaitCallLine(Duration timeout = Patience);
    // Waits for a line on the monitor's standard error holding `text` (case ignored).
    std::optional<std::string> WaitMonitorError(const std::string& text,
                                                Duration timeout = Patience);

    std::string Transcript() const;

    // The libcapi20 module the monitor reaches the peer through (--capi-remote DRIVER:...).
    std::string driver = "rcapi";
    TempDir home;
    ChildProcess peer;
    ChildProcess monitor;
    unsigned port = 0;
};

// The bytes of a CONNECT_RESP that ignores the call of this CONNECT_IND, and of the
// DISCONNECT_RESP to a DISCONNECT_IND, as the monitor must send them.
Bytes IgnoreCallResponse(uint16_t applId, const RecordedMessage& connectInd);
Bytes DisconnectResponse(uint16_t applId, const RecordedMessage& disconnectInd);
