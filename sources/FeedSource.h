#pragma once
// The router's call-monitor feed as a line source: each RING is a call (telephony, the
// router's connection id as its id, the mark "0" for a withheld number); CONNECT and
// DISCONNECT of a call that rang tell whether it was answered, where, and for how long.

#include "sources/CallMonitorFeed.h"
#include "sources/NetworkSource.h"

#include <unordered_map>

class FeedProtocol : public SourceProtocol {
public:
    static constexpr unsigned DefaultPort = 1012;
    static constexpr int TelephonyCip = 16;

    std::string Greeting() override { return {}; }
    std::string Line(std::string_view line, SourceListener& listener) override;
    std::string Tick(std::chrono::steady_clock::time_point) override { return {}; }
    bool Listening() const override { return true; }
    bool Refused() const override { return false; }
    void Disconnected() override { ringing.clear(); }

    // Lines that were no event this reads, for the log.
    size_t Unread() const { return unread; }

private:
    struct Ringing {
        CallOutcome outcome;
    };
    std::unordered_map<uint32_t, Ringing> ringing; // by the router's id
    size_t unread = 0;
};
