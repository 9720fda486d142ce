#include "outputs/NcidAllowList.h"

#include "platform/Text.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstring>
#include <netinet/in.h>

namespace {


bool PrefixMatches(const uint8_t* a, const uint8_t* b, int prefixLength) {
    const int whole = prefixLength / 8;
    if (std::memcmp(a, b, static_cast<size_t>(whole)) != 0)
        return false;
    const int rest = prefixLength % 8;
    if (rest == 0)
        return true;
    const uint8_t mask = static_cast<uint8_t>(0xFF << (8 - rest));
    return (a[whole] & mask) == (b[whole] & mask);
}

} // namespace

NcidAllowList NcidAllowList::Parse(const std::string& text, std::vector<std::string>& problems) {
    NcidAllowList list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        const std::string entry(Trim(text.substr(start, comma - start), " \t"));
        start = comma + 1;
        if (entry.empty())
            continue;
        const size_t slash = entry.find('/');
        const std::string host = entry.substr(0, slash);
        Network network{};
        int maxLength;
        if (::inet_pton(AF_INET, host.c_str(), network.bytes) == 1) {
            network.family = AF_INET;
            maxLength = 32;
        } else if (::inet_pton(AF_INET6, host.c_str(), network.bytes) == 1) {
            network.family = AF_INET6;
            maxLength = 128;
        } else {
            problems.push_back("[ncid] allow: \"" + entry + "\" is not an address; left out");
            continue;
        }
        network.prefixLength = maxLength;
        if (slash != std::string::npos) {
            const std::string length = entry.substr(slash + 1);
            int value = -1;
            const auto [end, error] =
                std::from_chars(length.data(), length.data() + length.size(), value);
            if (error != std::errc() || end != length.data() + length.size() || value < 0 ||
                value > maxLength) {
                problems.push_back("[ncid] allow: \"" + entry +
                                   "\" has no prefix length from 0 to " +
                                   std::to_string(maxLength) + "; left out");
                continue;
            }
            network.prefixLength = value;
        }
        list.networks.push_back(network);
    }
    return list;
}

bool NcidAllowList::Allows(const sockaddr* address) const {
    int family = address->sa_family;
    uint8_t bytes[16];
    if (family == AF_INET) {
        std::memcpy(bytes, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
    } else if (family == AF_INET6) {
        const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        if (IN6_IS_ADDR_V4MAPPED(&v6)) {
            family = AF_INET;
            std::memcpy(bytes, v6.s6_addr + 12, 4);
        } else {
            std::memcpy(bytes, v6.s6_addr, 16);
        }
    } else {
        return false;
    }
    for (const Network& network : networks)
        if (network.family == family && PrefixMatches(network.bytes, bytes, network.prefixLength))
            return true;
    return false;
}

std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = "?";
    if (address->sa_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                    sizeof text);
    else if (address->sa_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                    sizeof text);
    return text;
}

void NcidRefusals::TellCount(const Key& key, size_t count) {
    log("ncid: refused " + key.first + " " + std::to_string(count) +
        (count == 1 ? " more time" : " more times") + " within a minute: " + key.second);
}

void NcidRefusals::Refused(const std::string& address, const std::string& reason,
                           Clock::time_point now) {
    Key key{address, reason};
    if (tallies.find(key) == tallies.end() && tallies.size() >= maxAddresses)
        key.first = "other addresses";
    auto found = tallies.find(key);
    if (found != tallies.end() && now - found->second.since >= period) {
        // The minute is over and the loop has not told it yet: as Tick would have.
        if (found->second.untold == 0) {
            tallies.erase(found);
            found = tallies.end();
        } else {
            TellCount(key, found->second.untold);
            found->second.since = now;
            found->second.untold = 0;
        }
    }
    if (found != tallies.end()) {
        ++found->second.untold;
        return;
    }
    tallies.emplace(key, Tally{now, 0});
    log("ncid: refused " + key.first + ": " + reason);
}

std::optional<NcidRefusals::Clock::time_point> NcidRefusals::Tick(Clock::time_point now) {
    std::optional<Clock::time_point> next;
    for (auto it = tallies.begin(); it != tallies.end();) {
        Tally& tally = it->second;
        if (now - tally.since >= period) {
            // Nothing new within the minute: the next refusal is told at once again.
            if (tally.untold == 0) {
                it = tallies.erase(it);
                continue;
            }
            TellCount(it->first, tally.untold);
            tally.since = now;
            tally.untold = 0;
        }
        if (!next || tally.since + period < *next)
            next = tally.since + period;
        ++it;
    }
    return next;
}

void NcidRefusals::Flush() {
    for (const auto& [key, tally] : tallies)
        if (tally.untold > 0)
            TellCount(key, tally.untold);
    tallies.clear();
}
