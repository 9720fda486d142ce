#include "tools/capi-peer/PeerOptions.h"

#include <charconv>

namespace {

bool ParseUnsigned(const std::string& text, unsigned limit, unsigned& value) {
    unsigned parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || parsed > limit)
        return false;
    value = parsed;
    return true;
}

// "--name VALUE" and "--name=VALUE".
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::string& value, bool& matched) {
    matched = false;
    if (args[i] == name) {
        matched = true;
        if (i + 1 >= args.size())
            return false;
        value = args[++i];
        return true;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
        matched = true;
        value = args[i].substr(name.size() + 1);
        return true;
    }
    return false;
}

} // namespace

PeerOptionsResult ParsePeerOptions(const std::vector<std::string>& args) {
    PeerOptionsResult result;
    PeerOptions& options = result.options;
    bool haveListen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        bool matched = false;
        bool ok = TakeValue(args, i, "--listen", value, matched);
        if (matched) {
            auto colon = value.rfind(':');
            if (!ok || colon == std::string::npos || colon == 0 ||
                !ParseUnsigned(value.substr(colon + 1), 65535, options.port)) {
                result.error = "--listen needs HOST:PORT (PORT 0 picks a free port)";
                return result;
            }
            options.host = value.substr(0, colon);
            // "[::1]:0" names an IPv6 address the usual way.
            if (options.host.size() > 2 && options.host.front() == '[' &&
                options.host.back() == ']')
                options.host = options.host.substr(1, options.host.size() - 2);
            haveListen = true;
            continue;
        }
        ok = TakeValue(args, i, "--controllers", value, matched);
        if (matched) {
            if (!ok || !ParseUnsigned(value, 127, options.controllers)) {
                result.error = "--controllers needs a number from 0 to 127";
                return result;
            }
            continue;
        }
        ok = TakeValue(args, i, "--protocol", value, matched);
        if (matched) {
            if (ok && value == "rcapi") {
                options.protocol = PeerProtocol::Rcapi;
            } else if (ok && value == "router") {
                options.protocol = PeerProtocol::Router;
            } else {
                result.error = "--protocol takes rcapi or router";
                return result;
            }
            continue;
        }
        if (args[i] == "--refuse-register") {
            options.refuseRegister = true;
        } else if (args[i] == "--silent") {
            options.silent = true;
        } else if (args[i] == "--hang-register") {
            options.hangRegister = true;
        } else if (args[i] == "--help" || args[i] == "-h") {
            options.help = true;
        } else {
            result.error = "unknown argument '" + args[i] + "'";
            return result;
        }
    }
    if (!haveListen && !options.help)
        result.error = "--listen HOST:PORT is required";
    return result;
}

std::string PeerUsageText() {
    return R"(usage: tavo-capi-peer --listen HOST:PORT [--protocol rcapi|router] [--controllers N]
                      [--refuse-register] [--silent] [--hang-register]

A loopback remote-CAPI server for trying and testing the monitor without ISDN hardware.
Point libcapi20 at it with the rcapi driver, e.g. tavo --capi-remote rcapi:127.0.0.1:PORT.

  --protocol rcapi|router
                       the remote protocol to serve: rcapi (the default), or the one home
                       routers serve on port 5031, which libcapi20's second remote module
                       (beside rcapi) speaks

  --listen HOST:PORT   address to listen on; PORT 0 picks a free port. The first line of
                       output is "listening HOST:PORT" with the port in use.
  --controllers N      number of controllers to report (0..127, default 1)
  --refuse-register    answer every registration with an error (info 0x1001)
  --silent             accept connections but never answer anything
  --hang-register      answer everything but a registration, which is never answered
  --help               this text

Commands on standard input, one per line (end of input quits):
  ring CALLED CALLING [cip=N] [type=0xNN] [pres=0xNN] [plci=0xNNNNNNNN] [ctrl=N]
        offer a call to every application listening on the controller for that CIP.
        Numbers are digits; CALLED '-' sends an empty Called party number, CALLING '-' an
        empty Calling party number, CALLING '~' the type and presentation octets without
        digits. Defaults: cip=16, type=0x21, pres=0x80, ctrl=1, a new PLCI per ring.
  hangup PLCI [reason=0xNNNN]   end a call (DISCONNECT_IND, default reason 0x3490)
  raw HEX                       send a CAPI message as given to every application
  frame HEX                     send bytes as given, length prefix included (broken frames)
  drop                          close every application's connection
  quit                          stop

Output, one line each, flushed at once:
  > HEX            a CAPI message the peer sent
  < HEX            a CAPI message the peer received, byte for byte
  registered ID    an application registered (shown with its first message, which names ID)
  unanswered register   a registration left unanswered (--hang-register)
  released ID      the application closed its connection
  dropped ID       the peer closed the application's connection (drop)
Errors and warnings go to standard error.
)";
}
