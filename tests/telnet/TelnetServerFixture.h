#pragma once
// A telnet server on a free port of 127.0.0.1 with lists of its own, and what it reported.

#include "TelnetTestClient.h"
#include "telnet/TelnetServer.h"

#include <gtest/gtest.h>
#include <mutex>

namespace {
// IAC WILL ECHO, IAC WILL SUPPRESS-GO-AHEAD: the server's offer, before anything else.
const std::string offer = "\xff\xfb\x01\xff\xfb\x03";
const std::string banner = "TAVO --- Version 1.3.3  (c) 2026 the TAVO developers\n\r\n\r";
// What every client gets first.
const std::string greeting = offer + banner;
const std::string menu = "Menu\n\r----\n\r\n\r"
                         "   1 ) incoming calls from today \n\r"
                         "   2 ) incoming calls from yesterday \n\r"
                         "   3 ) incoming calls from day before yesterday \n\r"
                         "\n\r x,0 ) EXIT \n\r\n\rTAVO> ";
const std::string goodbye = "\n\r\n\r---\n\rCU @ home !";
using namespace std::chrono_literals;

[[maybe_unused]] int FreePort() {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDefaultSettings(*settings.Write());
        settings.Write()->telnetEnabled = 1;
        settings.Write()->telnetPort = 0; // a free port of the system's choosing
    }
    void TearDown() override { server.reset(); }

    void Start(TelnetServerOptions options = {}) {
        options.message = [this](const std::string& text) {
            std::lock_guard lock(messagesMutex);
            messages.push_back(text);
        };
        options.log = [this](const std::string& text) {
            std::lock_guard lock(messagesMutex);
            logged.push_back(text);
        };
        server = std::make_unique<TelnetServer>(TelnetSources{lists}, settings,
                                                std::move(options));
        Restart(0);
    }
    void Restart(int port) { server->RestartTelnetServer(port); }
    void SetTelnet(uint8_t enabled, int port, const char* userId = "") {
        const auto stored = settings.Write();
        stored->telnetEnabled = enabled;
        stored->telnetPort = port;
        std::snprintf(stored->telnetUserId, sizeof stored->telnetUserId, "%s", userId);
        std::snprintf(stored->telnetPassword, sizeof stored->telnetPassword, "%s", "pw");
    }
    std::vector<std::string> Messages() {
        std::lock_guard lock(messagesMutex);
        return messages;
    }
    std::vector<std::string> Logged() {
        std::lock_guard lock(messagesMutex);
        return logged;
    }
    // Waits, bounded, until the server counts `count` sessions.
    bool AwaitSessions(size_t count) {
        for (int i = 0; i < 1000 && server->SessionCount() != count; ++i)
            std::this_thread::sleep_for(10ms);
        return server->SessionCount() == count;
    }
    // The server thread reports after the restart has returned.
    std::vector<std::string> AwaitMessages() {
        for (int i = 0; i < 500 && Messages().empty(); ++i)
            std::this_thread::sleep_for(10ms);
        return Messages();
    }
    int Port() const { return server->ListeningPort(); }
    void AddCallsOfToday(int count) {
        const auto shared = lists.Write();
        for (int i = 0; i < count; ++i) {
            CallRecord call;
            call.hasTime = true;
            call.callTime = static_cast<int32_t>(std::time(nullptr));
            call.key = "555";
            call.value = "0301234";
            call.cipValue = 1;
            shared->callList.append(call);
        }
    }
    // Reads the menu, leaves, and expects the goodbye and the server's close.
    void LeaveAfterMenu(TestClient& client) {
        EXPECT_EQ(client.ReadUntil("TAVO> "), greeting + menu);
        client.Send("x");
        bool closed = false;
        EXPECT_EQ(client.ReadToEnd(&closed), "x" + goodbye);
        EXPECT_TRUE(closed);
    }

    GuardedSettings settings;
    GuardedLists lists;
    std::unique_ptr<TelnetServer> server;
    std::mutex messagesMutex;
    std::vector<std::string> messages;
    std::vector<std::string> logged;
};
} // namespace
