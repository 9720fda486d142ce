#include "capi/LineProtocol.h"

#include <algorithm>
#include <charconv>
#include <utility>
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

constexpr std::pair<LineReport::Kind, std::string_view> kReportNames[] = {
    {LineReport::Kind::Listening, "listening"},
    {LineReport::Kind::ListeningAgain, "listening-again"},
    {LineReport::Kind::ConnectionLost, "lost"},
    {LineReport::Kind::RegistrationFailed, "registration-failed"},
    {LineReport::Kind::RetryingIn, "retrying"},
    {LineReport::Kind::Undecodable, "undecodable"},
    {LineReport::Kind::ProcessEnded, "process-ended"},
    {LineReport::Kind::ProcessSilent, "process-silent"},
    {LineReport::Kind::RegistrationUnanswered, "registration-unanswered"},
    {LineReport::Kind::SharedLockReleased, "lock-released"},
    {LineReport::Kind::PipeGarbled, "pipe-garbled"},
};

std::string_view ReportName(LineReport::Kind kind) {
    for (const auto& [k, name] : kReportNames)
        if (k == kind)
            return name;
    return "lost";
}

std::optional<LineReport::Kind> ReportKind(std::string_view name) {
    for (const auto& [kind, n] : kReportNames)
        if (n == name)
            return kind;
    return std::nullopt;
}

// Up to `limit` bytes of a line as they can be shown: printable ASCII as it is, the rest as \xHH.
std::string Shown(std::string_view bytes, size_t limit) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes.substr(0, limit)) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            out += "\\x";
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    if (bytes.size() > limit)
        out += "...";
    return out;
}

} // namespace

std::string EncodeLinePipeMessage(const LinePipeMessage& message) {
    switch (message.kind) {
    case LinePipeMessage::Kind::Call: {
        char plci[16];
        auto end = std::to_chars(plci, plci + sizeof plci, message.notice.connectionId, 16).ptr;
        return "call " + std::string(plci, end) + " " + std::to_string(message.notice.cipValue) +
               " " + Hex(message.notice.calledNumber) + " " + Hex(message.notice.callingNumber) +
               "\n";
    }
    case LinePipeMessage::Kind::Report: {
        const LineReport& r = message.report;
        return "report " + std::string(ReportName(r.kind)) + " " + std::to_string(r.count) + " " +
               std::to_string(r.seconds) + " " + std::to_string(r.code) + " " + Hex(r.text) + " " +
               Hex(std::string_view(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size())) +
               "\n";
    }
    case LinePipeMessage::Kind::Message:
        return "message " + Hex(message.text) + "\n";
    case LinePipeMessage::Kind::Registering:
        return "registering\n";
    case LinePipeMessage::Kind::Alive:
        return "alive\n";
    }
    return "alive\n";
}

std::optional<LinePipeMessage> DecodeLinePipeMessage(std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    LinePipeMessage message;
    if (words.size() == 1 && words[0] == "alive")
        return message;
    if (words.size() == 1 && words[0] == "registering") {
        message.kind = LinePipeMessage::Kind::Registering;
        return message;
    }
    if (words.size() == 2 && words[0] == "message") {
        message.kind = LinePipeMessage::Kind::Message;
        auto text = Unhex(words[1]);
        if (!text)
            return std::nullopt;
        message.text = std::move(*text);
        return message;
    }
    if (words.size() == 7 && words[0] == "report") {
        message.kind = LinePipeMessage::Kind::Report;
        LineReport& r = message.report;
        auto kind = ReportKind(words[1]);
        auto text = Unhex(words[5]);
        auto bytes = Unhex(words[6]);
        if (!kind || !Number(words[2], r.count, 10) || !Number(words[3], r.seconds, 10) ||
            !Number(words[4], r.code, 10) || !text || !bytes)
            return std::nullopt;
        r.kind = *kind;
        r.text = std::move(*text);
        r.bytes.assign(bytes->begin(), bytes->end());
        return message;
    }
    if (words.size() == 5 && words[0] == "call") {
        message.kind = LinePipeMessage::Kind::Call;
        auto called = Unhex(words[3]);
        auto calling = Unhex(words[4]);
        if (!Number(words[1], message.notice.connectionId, 16) ||
            !Number(words[2], message.notice.cipValue, 10) || !called || !calling)
            return std::nullopt;
        message.notice.calledNumber = std::move(*called);
        message.notice.callingNumber = std::move(*calling);
        return message;
    }
    return std::nullopt;
}

LinePipeReader::LinePipeReader(MessageSink message, ComplaintSink complaint)
    : message(std::move(message)), complaint(std::move(complaint)) {}

void LinePipeReader::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t newline = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, newline);
        if (overlong) {
            // The rest of a line that was told already.
        } else if (pending.size() + piece.size() > kMaxLinePipeLine) {
            pending.append(piece.substr(0, kMaxLinePipeLine - pending.size()));
            complaint("the CAPI line process wrote a line longer than " +
                      std::to_string(kMaxLinePipeLine) + " bytes, dropped: " + Shown(pending, 32));
            pending.clear();
            overlong = true;
        } else {
            pending.append(piece);
        }
        if (newline == std::string_view::npos)
            return;
        if (!overlong)
            Line(pending);
        pending.clear();
        overlong = false;
        bytes.remove_prefix(newline + 1);
    }
}

void LinePipeReader::Line(std::string_view line) {
    if (std::optional<LinePipeMessage> decoded = DecodeLinePipeMessage(line)) {
        message(std::move(*decoded));
        return;
    }
    // Told once per kind: a process that keeps writing the same wrong thing fills no log.
    constexpr size_t kKindsTold = 32;
    std::string kind(line.substr(0, std::min<size_t>(line.find(' '), 24)));
    if (toldKinds.size() >= kKindsTold || !toldKinds.insert(kind).second)
        return;
    complaint("the CAPI line process wrote a line that is no message, dropped (told once for \"" +
              Shown(kind, 24) + "\"): " + Shown(line, 64));
}
