#include "telnet/TelnetProtocol.h"

#include <cstring>

using namespace telnet;

namespace {
void Answer(std::string& answers, unsigned char verb, unsigned char option) {
    answers += static_cast<char>(IAC);
    answers += static_cast<char>(verb);
    answers += static_cast<char>(option);
}
} // namespace

std::string TelnetProtocol::Offer() {
    std::string offer;
    Answer(offer, WILL, ECHO);
    Answer(offer, WILL, SUPPRESS_GO_AHEAD);
    echo = Ours::Offered;
    suppressGoAhead = Ours::Offered;
    return offer;
}

TelnetProtocol::Ours* TelnetProtocol::OursFor(unsigned char option) {
    if (option == ECHO)
        return &echo;
    if (option == SUPPRESS_GO_AHEAD)
        return &suppressGoAhead;
    return nullptr;
}

void TelnetProtocol::Negotiate(unsigned char verb, unsigned char option, std::string& answers) {
    // Only a change of state is answered, so that acknowledgements never loop.
    if (verb == DO || verb == DONT) {
        Ours* ours = OursFor(option);
        if (verb == DO) {
            if (!ours)
                Answer(answers, WONT, option);
            else if (*ours == Ours::No)
                Answer(answers, WILL, option);
            if (ours)
                *ours = Ours::Yes;
        } else if (ours) {
            if (*ours == Ours::Yes)
                Answer(answers, WONT, option);
            *ours = Ours::No;
        }
        return;
    }
    // The client's own options: none is wanted, and none is ever on.
    if (verb == WILL)
        Answer(answers, DONT, option);
}

int TelnetProtocol::Take(unsigned char byte, std::string& answers) {
    switch (state) {
    case State::Data:
        if (byte == IAC) {
            state = State::Command;
            return -1;
        }
        // Enter as a telnet client sends it without binary mode is CR NUL: the dialogue's
        // lines end with LF, so the NUL becomes one.
        if (afterCr && byte == 0) {
            afterCr = false;
            return '\n';
        }
        afterCr = byte == '\r';
        return byte;
    case State::Command:
        peerSpeaksTelnet = true;
        afterCr = false;
        if (byte == IAC) {
            state = State::Data;
            return IAC;
        }
        if (byte >= WILL) {
            verb = byte;
            state = State::Option;
        } else {
            // SB begins a subnegotiation; every other command (NOP, AYT, IP, GA, ...) is let go.
            state = byte == SB ? State::Sub : State::Data;
        }
        return -1;
    case State::Option:
        Negotiate(verb, byte, answers);
        state = State::Data;
        return -1;
    case State::Sub:
        if (byte == IAC)
            state = State::SubCommand;
        return -1;
    case State::SubCommand:
        // IAC SE ends it; IAC IAC is a 255 inside it; anything else is malformed and dropped
        // with the rest of the subnegotiation.
        state = byte == SE ? State::Data : State::Sub;
        return -1;
    }
    return -1;
}

void TelnetProtocol::Escape(std::string_view text, std::string& out) const {
    if (!peerSpeaksTelnet || text.empty() ||
        std::memchr(text.data(), IAC, text.size()) == nullptr) {
        out.append(text);
        return;
    }
    for (char c : text) {
        out += c;
        if (static_cast<unsigned char>(c) == IAC)
            out += c;
    }
}
