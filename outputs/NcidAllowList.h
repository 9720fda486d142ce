#pragma once
// Which client addresses the NCID server talks to: addresses and networks (CIDR), IPv4 or IPv6.
// An IPv4 client reaching an IPv6 socket (::ffff:a.b.c.d) counts as the IPv4 address.

#include <cstdint>
#include <string>
#include <sys/socket.h>
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
