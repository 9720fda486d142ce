#pragma once
// The command line of tavo-capi-peer.

#include <string>
#include <vector>

struct PeerOptions {
    std::string host;
    unsigned port = 0; // 0: any free port
    unsigned controllers = 1;
    bool refuseRegister = false;
    bool silent = false;
    bool hangRegister = false; // answers everything but a registration
    bool help = false;
};

struct PeerOptionsResult {
    PeerOptions options;
    std::string error; // empty when the line was understood
};

PeerOptionsResult ParsePeerOptions(const std::vector<std::string>& args);
std::string PeerUsageText();
