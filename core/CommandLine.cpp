#include "core/CommandLine.h"

#include <cctype>
#include <charconv>

namespace {

bool ParsePort(const std::string& text, unsigned& port) {
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return false;
    port = value;
    return true;
}

// "--name=value" and "--name value" are both accepted for options that take a value.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::string& value, bool& matched) {
    const std::string& arg = args[i];
    matched = false;
    if (arg == name) {
        matched = true;
        if (i + 1 >= args.size())
            return false;
        value = args[++i];
        return true;
    }
    if (arg.rfind(name + "=", 0) == 0) {
        matched = true;
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

} // namespace

std::optional<CapiRemote> ParseCapiRemote(const std::string& text) {
    // The host may itself hold colons (an IPv6 address), so the driver ends at the first colon
    // and the port starts after the last one.
    auto first = text.find(':');
    auto last = text.rfind(':');
    if (first == std::string::npos || first == last)
        return std::nullopt;
    CapiRemote remote;
    remote.driver = text.substr(0, first);
    remote.host = text.substr(first + 1, last - first - 1);
    if (remote.driver.empty() || remote.host.empty())
        return std::nullopt;
    for (char c : remote.driver)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'))
            return std::nullopt;
    if (!ParsePort(text.substr(last + 1), remote.port))
        return std::nullopt;
    return remote;
}

namespace {

// The result with `message` as its error.
CommandLineResult Failed(CommandLineResult result, std::string message) {
    result.error = std::move(message);
    return result;
}

// tavo dump FILE
CommandLineResult ParseDumpCommand(const std::vector<std::string>& args) {
    CommandLineResult result;
    result.options.command = TavoCommand::Dump;
    if (args.size() != 1 || args[0].empty())
        return Failed(std::move(result), "usage: tavo dump FILE");
    result.options.dumpFile = args[0];
    return result;
}

// tavo say [--wav FILE] [--data-dir DIR] [--] TEXT...
CommandLineResult ParseSayCommand(const std::vector<std::string>& args) {
    CommandLineResult result;
    CommandLine& o = result.options;
    o.command = TavoCommand::Say;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        std::string value;
        bool matched = false;
        if (args[i] == "--") {
            ++i;
            break;
        }
        if (TakeValue(args, i, "--wav", value, matched)) {
            o.wavFile = value;
            continue;
        }
        if (matched)
            return Failed(std::move(result), "option --wav needs a file name");
        if (TakeValue(args, i, "--data-dir", value, matched)) {
            o.dataDir = value;
            continue;
        }
        if (matched)
            return Failed(std::move(result), "option --data-dir needs a directory");
        if (args[i].size() > 1 && args[i][0] == '-')
            return Failed(std::move(result), "unknown option for say: " + args[i]);
        break;
    }
    o.sayWords.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    if (o.sayWords.empty())
        return Failed(std::move(result), "usage: tavo say [--wav FILE] TEXT...");
    return result;
}

// tavo capi-line [--capi-remote DRIVER:HOST:PORT] [--again]
CommandLineResult ParseCapiLineCommand(const std::vector<std::string>& args) {
    CommandLineResult result;
    CommandLine& o = result.options;
    o.command = TavoCommand::CapiLine;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        bool matched = false;
        if (args[i] == "--again") {
            o.lineAgain = true;
        } else if (TakeValue(args, i, "--capi-remote", value, matched) || matched) {
            o.capiRemote = ParseCapiRemote(value);
            if (!o.capiRemote)
                return Failed(std::move(result), "capi-line: bad --capi-remote '" + value + "'");
        } else {
            return Failed(std::move(result), "capi-line: unknown option '" + args[i] + "'");
        }
    }
    return result;
}

// The monitor's own options.
CommandLineResult ParseMonitorOptions(const std::vector<std::string>& args) {
    CommandLineResult result;
    CommandLine& o = result.options;
    bool lineGiven = false;
    auto fail = [&](std::string message) { return Failed(std::move(result), std::move(message)); };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        bool matched = false;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version" || arg == "-v") {
            o.version = true;
        } else if (arg == "--demo") {
            o.demo = true;
        } else if (arg == "--headless") {
            o.headless = true;
        } else if (TakeValue(args, i, "--data-dir", value, matched) || matched) {
            if (!matched || value.empty())
                return fail("option --data-dir needs a directory");
            o.dataDir = value;
        } else if (TakeValue(args, i, "--line", value, matched) || matched) {
            if (value == "capi")
                o.line = LineKind::Capi;
            else if (value == "sim")
                o.line = LineKind::Sim;
            else
                return fail("option --line takes capi or sim, not '" + value + "'");
            lineGiven = true;
        } else if (TakeValue(args, i, "--capi-remote", value, matched) || matched) {
            auto remote = ParseCapiRemote(value);
            if (!remote)
                return fail("option --capi-remote takes DRIVER:HOST:PORT (for example "
                            "rcapi:127.0.0.1:2662), not '" +
                            value + "'");
            o.capiRemote = remote;
        } else if (TakeValue(args, i, "--autostart", value, matched) || matched) {
            if (value != "on" && value != "off")
                return fail("option --autostart takes on or off, not '" + value + "'");
            o.autostart = value;
        } else {
            return fail("unknown option '" + arg + "' (see tavo --help)");
        }
    }

    if (o.demo) {
        if (lineGiven && o.line == LineKind::Capi)
            return fail("--demo rings calls on the simulated line; it cannot use --line capi");
        o.line = LineKind::Sim;
    }
    if (o.capiRemote && o.line == LineKind::Sim)
        return fail("--capi-remote applies to the CAPI line, not to the simulated line");
    return result;
}

} // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
    const std::vector<std::string> rest(args.empty() ? args.begin() : args.begin() + 1, args.end());
    if (!args.empty() && args[0] == "dump")
        return ParseDumpCommand(rest);
    if (!args.empty() && args[0] == "say")
        return ParseSayCommand(rest);
    if (!args.empty() && args[0] == "capi-line")
        return ParseCapiLineCommand(rest);
    return ParseMonitorOptions(args);
}

std::string UsageText() {
    return "Usage: tavo [OPTION]...\n"
           "       tavo dump FILE\n"
           "       tavo say [--wav FILE] TEXT...\n"
           "Monitor incoming ISDN calls through CAPI 2.0: every call is logged, listed,\n"
           "resolved to names and announced; the phones on the line ring as usual.\n"
           "\n"
           "Options:\n"
           "  --data-dir DIR        keep the call list, directories and log in DIR\n"
           "                        (default $TAVO_DATA_DIR, else $XDG_DATA_HOME/TAVO)\n"
           "  --line capi|sim       the line to listen on: CAPI (default) or the simulated line\n"
           "  --capi-remote DRIVER:HOST:PORT\n"
           "                        reach a remote CAPI server through libcapi20,\n"
           "                        for example rcapi:127.0.0.1:2662\n"
           "  --demo                ring sample calls on the simulated line (own data directory)\n"
           "  --headless            run without windows; each call is printed on standard output\n"
           "  --autostart on|off    start or stop starting TAVO with the desktop session\n"
           "  --help                show this help and exit\n"
           "  --version             show the version and exit\n"
           "\n"
           "Commands:\n"
           "  dump FILE             print the records of a list file (caller.his, names.dat,\n"
           "                        msn.dat), one tab-separated line each\n"
           "  say [--wav FILE] TEXT speak TEXT with the stored voice, or write it to a WAV file\n"
           "\n"
           "Exit codes: 0 success, 1 failure at run time, 2 bad command line or unusable file.\n";
}
