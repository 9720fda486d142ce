#pragma once
// The Asterisk manager interface as a line source: logs in, keeps the link alive with a Ping
// every 30 s, and turns the calls of the configured context into notices. After a refused
// login nothing the manager sends is taken as a call.

#include "sources/AmiProtocol.h"
#include "sources/NetworkSource.h"

class AmiSourceProtocol : public SourceProtocol {
public:
    static constexpr unsigned DefaultPort = 5038;
    static constexpr int TelephonyCip = 16;

    AmiSourceProtocol(std::string user, std::string secret, std::string context,
                      std::chrono::milliseconds pingEvery = std::chrono::seconds(30));

    std::string Greeting() override;
    std::string Line(std::string_view line, SourceListener& listener) override;
    std::string Tick(std::chrono::steady_clock::time_point now) override;
    bool Listening() const override { return loggedIn; }
    bool Refused() const override { return refused; }
    void Disconnected() override;

private:
    std::string user, secret;
    std::chrono::milliseconds pingEvery;
    AmiPacketReader reader;
    AmiCallTracker calls;
    bool loggedIn = false;
    bool refused = false;
    std::chrono::steady_clock::time_point lastPing{};
};
