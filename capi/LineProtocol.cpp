#include "capi/LineProtocol.h"

#include <charconv>
#include <vector>

namespace {

std::string Hex(std::string_view text) {
    if (text.empty())
        return "-";
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::optional<std::string> Unhex(std::string_view hex) {
    if (hex == "-")
        return std::string();
    if (hex.empty() || hex.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
        if (ec != std::errc() || end != hex.data() + i + 2)
            return std::nullopt;
        out.push_back(static_cast<char>(value));
    }
    return out;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t start = 0;
    while (start <= line.size()) {
        size_t blank = line.find(' ', start);
        if (blank == std::string_view::npos)
            blank = line.size();
        words.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
    return words;
}

template <typename T> bool Number(std::string_view word, T& value, int base) {
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    return ec == std::errc() && end == word.data() + word.size() && !word.empty();
}

} // namespace

std::string EncodeLineEvent(const LineEvent& event) {
    switch (event.kind) {
    case LineEvent::Kind::Call: {
        char plci[16];
        auto end = std::to_chars(plci, plci + sizeof plci, event.notice.connectionId, 16).ptr;
        return "call " + std::string(plci, end) + " " + std::to_string(event.notice.cipValue) +
               " " + Hex(event.notice.calledNumber) + " " + Hex(event.notice.callingNumber) + "\n";
    }
    case LineEvent::Kind::Log:
        return "log " + Hex(event.text) + "\n";
    case LineEvent::Kind::Message:
        return "message " + Hex(event.text) + "\n";
    case LineEvent::Kind::Registering:
        return "registering\n";
    case LineEvent::Kind::Alive:
        return "alive\n";
    }
    return "alive\n";
}

std::optional<LineEvent> DecodeLineEvent(std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    LineEvent event;
    if (words.size() == 1 && words[0] == "alive")
        return event;
    if (words.size() == 1 && words[0] == "registering") {
        event.kind = LineEvent::Kind::Registering;
        return event;
    }
    if (words.size() == 2 && (words[0] == "log" || words[0] == "message")) {
        event.kind = words[0] == "log" ? LineEvent::Kind::Log : LineEvent::Kind::Message;
        auto text = Unhex(words[1]);
        if (!text)
            return std::nullopt;
        event.text = std::move(*text);
        return event;
    }
    if (words.size() == 5 && words[0] == "call") {
        event.kind = LineEvent::Kind::Call;
        auto called = Unhex(words[3]);
        auto calling = Unhex(words[4]);
        if (!Number(words[1], event.notice.connectionId, 16) ||
            !Number(words[2], event.notice.cipValue, 10) || !called || !calling)
            return std::nullopt;
        event.notice.calledNumber = std::move(*called);
        event.notice.callingNumber = std::move(*calling);
        return event;
    }
    return std::nullopt;
}
