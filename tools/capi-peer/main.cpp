// tavo-capi-peer: a loopback remote-CAPI server that rings calls on command and records what
// the monitor answers, for trying and testing the monitor without ISDN hardware.
#include "tools/capi-peer/CapiPeer.h"
#include "tools/capi-peer/PeerOptions.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    PeerOptionsResult parsed = ParsePeerOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tavo-capi-peer: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(PeerUsageText().c_str(), stdout);
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);
    // Whoever reads the record may be another program waiting for a line: flush each one.
    CapiPeer::Output output{[](const std::string& line) {
                                std::fputs(line.c_str(), stdout);
                                std::fputc('\n', stdout);
                                std::fflush(stdout);
                            },
                            [](const std::string& text) {
                                std::fprintf(stderr, "tavo-capi-peer: %s\n", text.c_str());
                                std::fflush(stderr);
                            }};
    std::string host = parsed.options.host;
    CapiPeer peer(parsed.options, output);
    std::string error = peer.Start();
    if (!error.empty()) {
        output.error(error);
        return 1;
    }
    bool bracket = host.find(':') != std::string::npos;
    output.line("listening " + (bracket ? "[" + host + "]" : host) + ":" +
                std::to_string(peer.Port()));
    peer.SetInput(STDIN_FILENO);
    while (peer.Step(-1)) {
    }
    return 0;
}
