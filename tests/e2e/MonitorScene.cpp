#include "MonitorScene.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#ifndef TAVO_PATH
#error "TAVO_PATH must name the tavo binary"
#endif
#ifndef PEER_PATH
#error "PEER_PATH must name the tavo-capi-peer binary"
#endif

namespace {

std::optional<RecordedMessage> ParseRecordLine(const std::string& line, char direction) {
    if (line.size() < 2 || line[0] != direction || line[1] != ' ')
        return std::nullopt;
    auto bytes = ParseHex(std::string_view(line).substr(2));
    if (!bytes)
        return std::nullopt;
    return RecordedMessage{*bytes};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void PutU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

} // namespace

uint32_t RecordedMessage::Address() const {
    if (bytes.size() < 12)
        return 0;
    return bytes[8] | bytes[9] << 8 | bytes[10] << 16 | static_cast<uint32_t>(bytes[11]) << 24;
}

MonitorScene::MonitorScene() {
    // A ~/.capi20rc without a REMOTE line keeps a system-wide configuration out of the test and
    // lets the monitor's own driver, host and port stand. The library drops each line's last
    // character, so every line ends with a newline.
    std::ofstream(home.Path() + "/.capi20rc") << "TRACELEVEL 0\n";
    // A code that every number begins with: the log line then carries the caller's number.
    std::filesystem::create_directories(home.Path() + "/data");
    std::ofstream(home.Path() + "/data/areacode.lst") << "\teverywhere\n";
}

unsigned MonitorScene::StartPeer(const std::vector<std::string>& options, unsigned wanted) {
    std::vector<std::string> argv{PEER_PATH, "--listen", "127.0.0.1:" + std::to_string(wanted)};
    argv.insert(argv.end(), options.begin(), options.end());
    if (!peer.Start(argv))
        return 0;
    auto first = peer.NextLine(ChildProcess::Out, Patience);
    if (!first || first->rfind("listening 127.0.0.1:", 0) != 0)
        return 0;
    port = static_cast<unsigned>(std::stoul(first->substr(first->rfind(':') + 1)));
    return port;
}

bool MonitorScene::StopPeer() {
    if (!peer.WriteLine("quit"))
        return false;
    return peer.Wait(Patience) == 0;
}

bool MonitorScene::StartMonitorIn(ChildProcess& process, unsigned serverPort) {
    const std::string& dir = home.Path();
    return process.Start({TAVO_PATH, "--headless", "--data-dir", dir + "/data", "--capi-remote",
                          driver + ":127.0.0.1:" + std::to_string(serverPort)},
                         {{"HOME", dir},
                          {"XDG_CONFIG_HOME", dir + "/config"},
                          {"XDG_DATA_HOME", dir + "/share"},
                          {"TAVO_DATA_DIR", dir + "/data"},
                          {"QT_QPA_PLATFORM", "offscreen"}});
}

std::optional<uint16_t> MonitorScene::WaitRegistered(Duration timeout) {
    auto line = peer.WaitForPrefix(ChildProcess::Out, "registered ", timeout);
    if (!line)
        return std::nullopt;
    return static_cast<uint16_t>(std::stoul(line->substr(11)));
}

std::optional<RecordedMessage> MonitorScene::WaitMessage(char direction, uint8_t command,
                                                         uint8_t subcommand, Duration timeout) {
    std::optional<RecordedMessage> found;
    peer.WaitFor(
        ChildProcess::Out,
        [&](const std::string& line) {
            auto message = ParseRecordLine(line, direction);
            if (message && message->Command() == command && message->Subcommand() == subcommand)
                found = message;
            return found.has_value();
        },
        timeout);
    return found;
}

std::vector<RecordedMessage> MonitorScene::AllMessages(char direction, uint8_t command,
                                                       uint8_t subcommand) const {
    std::vector<RecordedMessage> found;
    for (const auto& line : peer.Lines(ChildProcess::Out)) {
        auto message = ParseRecordLine(line, direction);
        if (message && message->Command() == command && message->Subcommand() == subcommand)
            found.push_back(*message);
    }
    return found;
}

void MonitorScene::SkipRecord() {
    while (peer.NextLine(ChildProcess::Out, Duration(0))) {
    }
}

std::optional<RecordedMessage> MonitorScene::Ring(const std::string& arguments) {
    if (!peer.WriteLine("ring " + arguments))
        return std::nullopt;
    return WaitMessage('>', 0x02, 0x82);
}

std::string MonitorScene::CallLine(const std::string& calling, const std::string& called,
                                   uint32_t /*plci*/, int cip) {
    // The log line after its time stamp: " - " caller " -->> " MSN and service "(" MSN ")".
    // The data directory's area-code table has one entry with an empty code, so every number
    // but the withheld mark "0" shows as "/" and the number as it was decoded.
    std::string caller = calling == "0" ? "<< unknown >>" : "/" + calling;
    std::string service = cip == 1 ? "/speech" : cip == 16 ? "/telephony" : "";
    return " - " + caller + " -->> " + called + service + "(" + called + ")";
}

std::optional<std::string> MonitorScene::WaitCallLine(Duration timeout) {
    // "YYYY-MM-DD HH:MM:SS" then the rest of the log line.
    auto line = monitor.WaitFor(
        ChildProcess::Out,
        [](const std::string& text) {
            return text.size() > 19 && text[4] == '-' && text[7] == '-' && text[13] == ':' &&
                   text.find(" -->> ") != std::string::npos;
        },
        timeout);
    if (!line)
        return std::nullopt;
    return line->substr(19);
}

std::optional<std::string> MonitorScene::WaitMonitorError(const std::string& text,
                                                          Duration timeout) {
    std::string wanted = Lower(text);
    return monitor.WaitFor(
        ChildProcess::Err,
        [&](const std::string& line) { return Lower(line).find(wanted) != std::string::npos; },
        timeout);
}

std::string MonitorScene::Transcript() const {
    return "peer:\n" + peer.Transcript() + "monitor:\n" + monitor.Transcript();
}

Bytes IgnoreCallResponse(uint16_t applId, const RecordedMessage& connectInd) {
    // Header, PLCI, Reject 1, B protocol (three zero words, three empty structs), Connected
    // number, Connected subaddress, LLC, Additional Info (four empty structs): 32 bytes.
    Bytes m{0x20, 0x00};
    PutU16(m, applId);
    m.push_back(0x02);
    m.push_back(0x83);
    PutU16(m, connectInd.MessageNumber());
    PutU32(m, connectInd.Address());
    PutU16(m, 1);
    m.push_back(9);
    m.insert(m.end(), 9, 0);
    m.insert(m.end(), {0, 0, 0, 4, 0, 0, 0, 0});
    return m;
}

Bytes DisconnectResponse(uint16_t applId, const RecordedMessage& disconnectInd) {
    Bytes m{0x0C, 0x00};
    PutU16(m, applId);
    m.push_back(0x04);
    m.push_back(0x83);
    PutU16(m, disconnectInd.MessageNumber());
    PutU32(m, disconnectInd.Address());
    return m;
}
