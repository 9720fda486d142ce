#include "sources/CallMonitorFeed.h"

#include "capi/CallNumbers.h"

#include <charconv>
#include <vector>

namespace {

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start <= line.size() && fields.size() < 16) {
        size_t semicolon = line.find(';', start);
        if (semicolon == std::string_view::npos)
            semicolon = line.size();
        fields.push_back(line.substr(start, semicolon - start));
        start = semicolon + 1;
    }
    // The trailing ';' leaves one empty field behind.
    if (!fields.empty() && fields.back().empty())
        fields.pop_back();
    return fields;
}

bool IsStamp(std::string_view text) {
    // "dd.mm.yy HH:MM:SS"
    static constexpr std::string_view shape = "00.00.00 00:00:00";
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == '0' ? !(text[i] >= '0' && text[i] <= '9') : text[i] != shape[i])
            return false;
    return true;
}

template <typename Number> bool ReadNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::optional<FeedEvent> ParseFeedLine(std::string_view line) {
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 4 || !IsStamp(fields[0]))
        return std::nullopt;
    FeedEvent event;
    event.stamp = std::string(fields[0]);
    if (!ReadNumber(fields[2], event.id))
        return std::nullopt;
    const std::string_view kind = fields[1];
    if (kind == "RING") {
        if (fields.size() < 5)
            return std::nullopt;
        event.kind = FeedEvent::Kind::Ring;
        event.caller = DiallingCharactersOf(fields[3]);
        event.called = DiallingCharactersOf(fields[4]);
        if (fields.size() > 5)
            event.line = std::string(fields[5].substr(0, 64));
    } else if (kind == "CALL") {
        event.kind = FeedEvent::Kind::Call;
    } else if (kind == "CONNECT") {
        event.kind = FeedEvent::Kind::Connect;
        event.extension = std::string(fields[3].substr(0, 64));
    } else if (kind == "DISCONNECT") {
        event.kind = FeedEvent::Kind::Disconnect;
        if (!ReadNumber(fields[3], event.seconds) || event.seconds < 0)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return event;
}
