#pragma once
// Which client addresses the NCID server talks to: addresses and networks (CIDR), IPv4 or IPv6.
// An IPv4 client reaching an IPv6 socket (::ffff:a.b.c.d) counts as the IPv4 address.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <utility>
#include <vector>

class NcidAllowList {
public:
    // "127.0.0.1/32, 192.168.1.0/24, ::1": comma-separated. Entries that are not addresses are
    // left out and named in `problems`.
    static NcidAllowList Parse(const std::string& text, std::vector<std::string>& problems);
    bool Allows(const sockaddr* address) const;
    bool Empty() const { return networks.empty(); }

private:
    struct Network {
        int family;        // AF_INET or AF_INET6
        uint8_t bytes[16]; // the address, 4 or 16 bytes
        int prefixLength;
    };
    std::vector<Network> networks;
};

// The address of a peer as text, for the log.
std::string AddressText(const sockaddr* address);

// Tells refused connections without flooding the log: the first refusal of an address for a
// reason is told at once; further ones are counted and told as one line when the minute since
// the last line is over, so a client that keeps knocking costs a line a minute.
class NcidRefusals {
public:
    using Clock = std::chrono::steady_clock;
    using Log = std::function<void(const std::string&)>;

    explicit NcidRefusals(Log log, Clock::duration period = std::chrono::minutes(1))
        : log(std::move(log)), period(period) {}

    void Refused(const std::string& address, const std::string& reason, Clock::time_point now);
    // Tells the counts whose minute is over; when the next one will be, if any is pending.
    std::optional<Clock::time_point> Tick(Clock::time_point now);
    // Tells every count not told yet (the server ends).
    void Flush();

    // Addresses counted one by one; refusals of further ones are counted together.
    static constexpr size_t maxAddresses = 1024;

private:
    struct Tally {
        Clock::time_point since; // when the last line about it was told
        size_t untold = 0;
    };
    using Key = std::pair<std::string, std::string>; // address, reason
    void TellCount(const Key& key, size_t count);

    Log log;
    Clock::duration period;
    std::map<Key, Tally> tallies;
};
