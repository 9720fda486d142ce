#pragma once
// The command line of tavo-capi-peer.

#include <string>
#include <vector>

// rcapi: the remote-CAPI protocol of libcapi20's rcapi module; router: the one of its module
// for home routers (tools/capi-peer/RouterFrame.h).
enum class PeerProtocol { Rcapi, Router };

struct PeerOptions {
    PeerProtocol protocol = PeerProtocol::Rcapi;
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
