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

std::string HexNumber(uint32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    return std::string(digits, end);
}

// "PLCI CIP CALLED CALLING", as "call" and "ask" carry a call.
std::string CallWords(const IncomingCallNotice& notice) {
    return HexNumber(notice.connectionId) + " " + std::to_string(notice.cipValue) + " " +
           Hex(notice.calledNumber) + " " + Hex(notice.callingNumber);
}

bool CallFromWords(const std::vector<std::string_view>& words, IncomingCallNotice& notice) {
    auto called = Unhex(words[3]);
    auto calling = Unhex(words[4]);
    if (!Number(words[1], notice.connectionId, 16) || !Number(words[2], notice.cipValue, 10) ||
        !called || !calling)
        return false;
    notice.calledNumber = std::move(*called);
    notice.callingNumber = std::move(*calling);
    return true;
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
    case LinePipeMessage::Kind::Call:
        return "call " + CallWords(message.notice) +
               (message.notice.refused ? " refused\n" : "\n");
    case LinePipeMessage::Kind::Ask:
        return "ask " + CallWords(message.notice) + "\n";
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
    const bool refused = words.size() == 6 && words[0] == "call" && words[5] == "refused";
    if ((words.size() == 5 || refused) && (words[0] == "call" || words[0] == "ask")) {
        message.kind = words[0] == "call" ? LinePipeMessage::Kind::Call : LinePipeMessage::Kind::Ask;
        if (!CallFromWords(words, message.notice))
            return std::nullopt;
        message.notice.refused = refused;
        return message;
    }
    return std::nullopt;
}

std::string EncodeLineCommand(const LineCommand& command) {
    switch (command.kind) {
    case LineCommand::Kind::Stop:
        return "stop\n";
    case LineCommand::Kind::ScreenOn:
        return "screen on\n";
    case LineCommand::Kind::ScreenOff:
        return "screen off\n";
    case LineCommand::Kind::Refuse:
        return "refuse " + HexNumber(command.connectionId) + "\n";
    case LineCommand::Kind::Ignore:
        return "ignore " + HexNumber(command.connectionId) + "\n";
    }
    return "stop\n";
}

std::optional<LineCommand> DecodeLineCommand(std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    LineCommand command;
    if (words.size() == 1 && words[0] == "stop")
        return command;
    if (words.size() == 2 && words[0] == "screen" && (words[1] == "on" || words[1] == "off")) {
        command.kind = words[1] == "on" ? LineCommand::Kind::ScreenOn : LineCommand::Kind::ScreenOff;
        return command;
    }
    if (words.size() == 2 && (words[0] == "refuse" || words[0] == "ignore")) {
        command.kind = words[0] == "refuse" ? LineCommand::Kind::Refuse : LineCommand::Kind::Ignore;
        if (!Number(words[1], command.connectionId, 16))
            return std::nullopt;
        return command;
    }
    return std::nullopt;
}

PipeLineCutter::PipeLineCutter(size_t limit, LineSink line, OverlongSink overlong)
    : limit(limit), line(std::move(line)), overlong(std::move(overlong)) {}

void PipeLineCutter::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t newline = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, newline);
        if (dropping) {
            // The rest of a line that was handed over already.
        } else if (pending.size() + piece.size() > limit) {
            pending.append(piece.substr(0, limit - pending.size()));
            overlong(pending);
            pending.clear();
            dropping = true;
        } else {
            pending.append(piece);
        }
        if (newline == std::string_view::npos)
            return;
        if (!dropping)
            line(pending);
        pending.clear();
        dropping = false;
        bytes.remove_prefix(newline + 1);
    }
}

LinePipeReader::LinePipeReader(MessageSink message, ComplaintSink complaint)
    : message(std::move(message)), complaint(std::move(complaint)),
      cutter(
          kMaxLinePipeLine, [this](std::string_view line) { Line(line); },
          [this](const std::string& start) {
              this->complaint("the CAPI line process wrote a line longer than " +
                              std::to_string(kMaxLinePipeLine) +
                              " bytes, dropped: " + Shown(start, 32));
          }) {}

void LinePipeReader::Feed(std::string_view bytes) {
    cutter.Feed(bytes);
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

LineCommandReader::LineCommandReader(CommandSink command)
    : command(std::move(command)),
      cutter(
          kMaxLineCommand,
          [this](std::string_view line) {
              if (const std::optional<LineCommand> decoded = DecodeLineCommand(line))
                  this->command(*decoded);
          },
          [](const std::string&) {}) {}
