#pragma once
// The telnet protocol in what a client sends: commands, option negotiation and subnegotiation
// are taken out of the byte stream and answered, so that only the typed bytes reach the
// dialogue. A client that never sends IAC (nc) passes through unchanged.

#include <cstdint>
#include <string>
#include <string_view>

namespace telnet {
inline constexpr unsigned char IAC = 255;
inline constexpr unsigned char DONT = 254;
inline constexpr unsigned char DO = 253;
inline constexpr unsigned char WONT = 252;
inline constexpr unsigned char WILL = 251;
inline constexpr unsigned char SB = 250;
inline constexpr unsigned char SE = 240;
inline constexpr unsigned char ECHO = 1;
inline constexpr unsigned char SUPPRESS_GO_AHEAD = 3;
} // namespace telnet

class TelnetProtocol {
public:
    // What the server offers at connect: it echoes, and it sends no go-ahead, so a client
    // leaves its line mode and sends each key as it is typed.
    std::string Offer();

    // Takes one received byte. Returns the typed byte it stands for, or -1 when it was part
    // of the protocol; answers the client must get are appended to `answers`.
    int Take(unsigned char byte, std::string& answers);

    // Byte 255 in the text sent to a client that speaks the protocol is doubled; a client that
    // has sent no command gets the text as it is.
    void Escape(std::string_view text, std::string& out) const;
    bool PeerSpeaksTelnet() const { return peerSpeaksTelnet; }

private:
    enum class State : uint8_t { Data, Command, Option, Sub, SubCommand };
    // Our side of an option (RFC 1143, without queueing): asked for it but not yet answered
    // is `Offered`.
    enum class Ours : uint8_t { No, Offered, Yes };

    void Negotiate(unsigned char verb, unsigned char option, std::string& answers);
    Ours* OursFor(unsigned char option);

    State state = State::Data;
    unsigned char verb = 0;
    bool afterCr = false;
    bool peerSpeaksTelnet = false;
    Ours echo = Ours::No;
    Ours suppressGoAhead = Ours::No;
};
