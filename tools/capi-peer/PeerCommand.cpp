#include "tools/capi-peer/PeerCommand.h"

#include <charconv>
#include <vector>

namespace {

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        size_t begin = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > begin)
            words.push_back(line.substr(begin, i - begin));
    }
    return words;
}

// Decimal, or hexadecimal after "0x"; the whole word must be the number and fit in `limit`.
bool ParseNumber(std::string_view text, uint32_t limit, uint32_t& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return false;
    uint64_t parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed, base);
    if (ec != std::errc() || end != text.data() + text.size() || parsed > limit)
        return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Splits "name=value" options; the value is checked against `limit`.
std::string TakeOption(std::string_view word, std::string_view name, uint32_t limit,
                       uint32_t& value, bool& matched) {
    matched = false;
    if (word.size() <= name.size() || word.substr(0, name.size()) != name ||
        word[name.size()] != '=')
        return "";
    matched = true;
    if (!ParseNumber(word.substr(name.size() + 1), limit, value))
        return "bad value in '" + std::string(word) + "'";
    return "";
}

PeerCommandResult Error(std::string text) {
    return {EmptyCommand{}, std::move(text)};
}

PeerCommandResult ParseRing(const std::vector<std::string_view>& words) {
    if (words.size() < 3)
        return Error("usage: ring CALLED CALLING [cip=N] [type=0xNN] [pres=0xNN] "
                     "[plci=0xNNNNNNNN] [ctrl=N]");
    RingCommand ring;
    std::string_view called = words[1];
    std::string_view calling = words[2];
    if (called != "-") {
        if (!AllDigits(called) || called.size() > MaxNumberDigits)
            return Error("CALLED must be digits (at most 1000) or '-'");
        ring.call.called = std::string(called);
    }
    if (calling == "~") {
        ring.call.calling = std::string();
    } else if (calling != "-") {
        if (!AllDigits(calling) || calling.size() > MaxNumberDigits)
            return Error("CALLING must be digits (at most 1000), '-' or '~'");
        ring.call.calling = std::string(calling);
    }
    for (size_t i = 3; i < words.size(); ++i) {
        uint32_t value = 0;
        bool matched = false;
        std::string error;
        if (error = TakeOption(words[i], "cip", 0xFFFF, value, matched); matched) {
            ring.call.cip = static_cast<uint16_t>(value);
        } else if (error = TakeOption(words[i], "type", 0xFF, value, matched); matched) {
            ring.call.callingType = static_cast<uint8_t>(value);
        } else if (error = TakeOption(words[i], "pres", 0xFF, value, matched); matched) {
            ring.call.presentation = static_cast<uint8_t>(value);
        } else if (error = TakeOption(words[i], "plci", 0xFFFFFFFF, value, matched); matched) {
            ring.call.plci = value;
            ring.plciGiven = true;
        } else if (error = TakeOption(words[i], "ctrl", 0x7F, value, matched); matched) {
            if (value == 0)
                error = "controllers are numbered from 1";
            ring.controller = value;
        } else {
            return Error("unknown ring option '" + std::string(words[i]) + "'");
        }
        if (!error.empty())
            return Error(error);
    }
    return {ring, ""};
}

PeerCommandResult ParseHangup(const std::vector<std::string_view>& words) {
    if (words.size() < 2 || words.size() > 3)
        return Error("usage: hangup PLCI [reason=0xNNNN]");
    HangupCommand hangup;
    if (!ParseNumber(words[1], 0xFFFFFFFF, hangup.plci))
        return Error("bad PLCI '" + std::string(words[1]) + "'");
    if (words.size() == 3) {
        uint32_t value = 0;
        bool matched = false;
        std::string error = TakeOption(words[2], "reason", 0xFFFF, value, matched);
        if (!matched)
            return Error("unknown hangup option '" + std::string(words[2]) + "'");
        if (!error.empty())
            return Error(error);
        hangup.reason = static_cast<uint16_t>(value);
    }
    return {hangup, ""};
}

PeerCommandResult ParseRaw(std::string_view line) {
    // Everything after the word is hex, blanks allowed between the pairs.
    size_t at = line.find("raw");
    auto bytes = ParseHex(line.substr(at + 3));
    if (!bytes || bytes->empty())
        return Error("usage: raw HEX (digit pairs, blanks between pairs allowed)");
    if (bytes->size() > 4096)
        return Error("a CAPI message has at most 4096 bytes");
    return {RawCommand{std::move(*bytes)}, ""};
}

PeerCommandResult ParseFrame(std::string_view line) {
    size_t at = line.find("frame");
    auto bytes = ParseHex(line.substr(at + 5));
    if (!bytes || bytes->empty())
        return Error("usage: frame HEX (the bytes to send, length prefix included)");
    if (bytes->size() > 65537)
        return Error("a frame has at most 65537 bytes");
    return {FrameCommand{std::move(*bytes)}, ""};
}

} // namespace

PeerCommandResult ParsePeerCommand(std::string_view line) {
    auto words = SplitWords(line);
    if (words.empty() || words[0].front() == '#')
        return {EmptyCommand{}, ""};
    std::string_view verb = words[0];
    if (verb == "ring")
        return ParseRing(words);
    if (verb == "hangup")
        return ParseHangup(words);
    if (verb == "raw")
        return ParseRaw(line);
    if (verb == "frame")
        return ParseFrame(line);
    if (verb == "drop" || verb == "quit") {
        if (words.size() != 1)
            return Error("'" + std::string(verb) + "' takes no arguments");
        if (verb == "drop")
            return {DropCommand{}, ""};
        return {QuitCommand{}, ""};
    }
    return Error("unknown command '" + std::string(verb) +
                 "' (ring, hangup, raw, frame, drop, quit)");
}
