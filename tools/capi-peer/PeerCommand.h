#pragma once
// One line typed on the peer's standard input.

#include "tools/capi-peer/Hex.h"
#include "tools/capi-peer/PeerMessages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

struct RingCommand {
    IncomingCall call;
    bool plciGiven = false; // else the peer picks a new PLCI on controller `controller`
    uint32_t controller = 1;
};
struct HangupCommand {
    uint32_t plci = 0;
    uint16_t reason = 0x3490; // normal call clearing
};
struct RawCommand {
    Bytes message;
};
// Bytes sent on the application connections exactly as given, length prefix included: frames
// that lie about their length, for trying what a client library does with them.
struct FrameCommand {
    Bytes bytes;
};
struct DropCommand {};
struct QuitCommand {};
struct EmptyCommand {}; // a blank line or a comment starting with '#'

using PeerCommand = std::variant<RingCommand, HangupCommand, RawCommand, FrameCommand, DropCommand,
                                 QuitCommand, EmptyCommand>;

struct PeerCommandResult {
    PeerCommand command;
    std::string error; // empty when the line was understood
};

// The longest number either side of a call may carry, so a ring always fits one CAPI message.
inline constexpr size_t MaxNumberDigits = 1000;

PeerCommandResult ParsePeerCommand(std::string_view line);
