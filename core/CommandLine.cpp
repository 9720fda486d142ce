#include "core/CommandLine.h"

#include <algorithm>
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
    if (first == std::string::npos)
        return std::nullopt;
    CapiRemote remote;
    remote.driver = text.substr(0, first);
    if (first == last) {
        // DRIVER:HOST: the port routers serve CAPI on (libcapi20's router module has no
        // default of its own and fails without one).
        remote.host = text.substr(first + 1);
        remote.port = CapiRemote::RouterPort;
    } else {
        remote.host = text.substr(first + 1, last - first - 1);
    }
    if (remote.driver.empty() || remote.host.empty())
        return std::nullopt;
    for (char c : remote.driver)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'))
            return std::nullopt;
    if (first != last && !ParsePort(text.substr(last + 1), remote.port))
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

// tavo import [--country CC] [--yes] [--data-dir DIR] [--] FILE...
CommandLineResult ParseImportCommand(const std::vector<std::string>& args) {
    CommandLineResult result;
    CommandLine& o = result.options;
    o.command = TavoCommand::Import;
    bool filesOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        bool matched = false;
        if (filesOnly || args[i].empty() || args[i][0] != '-' || args[i] == "-") {
            o.importFiles.push_back(args[i]);
        } else if (args[i] == "--") {
            filesOnly = true;
        } else if (args[i] == "--yes" || args[i] == "-y") {
            o.yes = true;
        } else if (TakeValue(args, i, "--country", value, matched) || matched) {
            if (!matched || value.empty())
                return Failed(std::move(result), "option --country needs a country code");
            o.country = value;
        } else if (TakeValue(args, i, "--data-dir", value, matched) || matched) {
            if (!matched || value.empty())
                return Failed(std::move(result), "option --data-dir needs a directory");
            o.dataDir = value;
        } else {
            return Failed(std::move(result), "unknown option for import: " + args[i]);
        }
    }
    if (o.importFiles.empty())
        return Failed(std::move(result), "usage: tavo import [--country CC] [--yes] FILE...");
    return result;
}

// tavo areacodes COUNTRY
CommandLineResult ParseAreaCodesCommand(const std::vector<std::string>& args) {
    CommandLineResult result;
    result.options.command = TavoCommand::AreaCodes;
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return Failed(std::move(result), "usage: tavo areacodes COUNTRY (for example DE)");
    result.options.country = args[0];
    return result;
}

// tavo export [--from DATE] [--to DATE] [--format csv|json] [--data-dir DIR] FILE|-
CommandLineResult ParseExportCommand(const std::vector<std::string>& args) {
    CommandLineResult result;
    CommandLine& o = result.options;
    o.command = TavoCommand::Export;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        bool matched = false;
        if (args[i] == "-" || args[i].empty() || args[i][0] != '-') {
            files.push_back(args[i]);
        } else if (TakeValue(args, i, "--from", value, matched) || matched) {
            if (!IsCalendarDate(value))
                return Failed(std::move(result), "option --from takes a date YYYY-MM-DD");
            o.exportFrom = value;
        } else if (TakeValue(args, i, "--to", value, matched) || matched) {
            if (!IsCalendarDate(value))
                return Failed(std::move(result), "option --to takes a date YYYY-MM-DD");
            o.exportTo = value;
        } else if (TakeValue(args, i, "--format", value, matched) || matched) {
            if (value == "csv")
                o.exportFormat = ExportFormat::Csv;
            else if (value == "json")
                o.exportFormat = ExportFormat::Json;
            else
                return Failed(std::move(result), "option --format takes csv or json");
        } else if (TakeValue(args, i, "--data-dir", value, matched) || matched) {
            if (!matched || value.empty())
                return Failed(std::move(result), "option --data-dir needs a directory");
            o.dataDir = value;
        } else {
            return Failed(std::move(result), "unknown option for export: " + args[i]);
        }
    }
    if (files.size() != 1 || files[0].empty())
        return Failed(std::move(result), "usage: tavo export [--from DATE] [--to DATE] "
                                         "[--format csv|json] FILE|-");
    if (o.exportFrom && o.exportTo && *o.exportFrom > *o.exportTo)
        return Failed(std::move(result),
                      "--from " + *o.exportFrom + " is after --to " + *o.exportTo);
    o.exportFile = files[0];
    return result;
}

// tavo rules check [FILE] | tavo rules replay [--from DATE] [--to DATE] [--data-dir DIR] [FILE]
CommandLineResult ParseRulesCommand(const std::vector<std::string>& args) {
    CommandLineResult result;
    CommandLine& o = result.options;
    o.command = TavoCommand::Rules;
    const char* usage = "usage: tavo rules check [FILE] | "
                        "tavo rules replay [--from DATE] [--to DATE] [FILE]";
    if (args.empty() || (args[0] != "check" && args[0] != "replay"))
        return Failed(std::move(result), usage);
    o.rulesReplay = args[0] == "replay";
    std::vector<std::string> files;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string value;
        bool matched = false;
        if (args[i].empty() || args[i][0] != '-') {
            files.push_back(args[i]);
        } else if (o.rulesReplay && (TakeValue(args, i, "--from", value, matched) || matched)) {
            if (!IsCalendarDate(value))
                return Failed(std::move(result), "option --from takes a date YYYY-MM-DD");
            o.exportFrom = value;
        } else if (o.rulesReplay && (TakeValue(args, i, "--to", value, matched) || matched)) {
            if (!IsCalendarDate(value))
                return Failed(std::move(result), "option --to takes a date YYYY-MM-DD");
            o.exportTo = value;
        } else if (TakeValue(args, i, "--data-dir", value, matched) || matched) {
            if (!matched || value.empty())
                return Failed(std::move(result), "option --data-dir needs a directory");
            o.dataDir = value;
        } else {
            return Failed(std::move(result), "unknown option for rules: " + args[i]);
        }
    }
    if (files.size() > 1)
        return Failed(std::move(result), usage);
    if (o.exportFrom && o.exportTo && *o.exportFrom > *o.exportTo)
        return Failed(std::move(result),
                      "--from " + *o.exportFrom + " is after --to " + *o.exportTo);
    if (!files.empty())
        o.rulesFile = files[0];
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
            std::string error;
            std::optional<std::vector<LineSource>> sources = ParseLineSources(value, error);
            if (!sources)
                return fail("option --line takes capi, sim, callmonitor or ami, or several of "
                            "them separated by commas: " + error);
            const bool sim = std::find(sources->begin(), sources->end(), LineSource::Sim) !=
                             sources->end();
            o.line = sim ? LineKind::Sim : LineKind::Capi;
            o.lineSources = std::move(sources);
            lineGiven = true;
        } else if (TakeValue(args, i, "--capi-remote", value, matched) || matched) {
            auto remote = ParseCapiRemote(value);
            if (!remote)
                return fail("option --capi-remote takes DRIVER:HOST[:PORT] (for example "
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

    const auto named = [&](LineSource source) {
        return o.lineSources && std::find(o.lineSources->begin(), o.lineSources->end(), source) !=
                                    o.lineSources->end();
    };
    if (o.demo) {
        if (lineGiven && !named(LineSource::Sim))
            return fail("--demo rings calls on the simulated line; --line must name sim");
        o.line = LineKind::Sim;
    }
    if (o.capiRemote && o.line == LineKind::Sim)
        return fail("--capi-remote applies to the CAPI line, not to the simulated line");
    if (o.capiRemote && lineGiven && !named(LineSource::Capi))
        return fail("--capi-remote applies to the CAPI line, which --line does not name");
    return result;
}

} // namespace

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
    const std::vector<std::string> rest(args.empty() ? args.begin() : args.begin() + 1, args.end());
    if (!args.empty() && args[0] == "dump")
        return ParseDumpCommand(rest);
    if (!args.empty() && args[0] == "say")
        return ParseSayCommand(rest);
    if (!args.empty() && args[0] == "import")
        return ParseImportCommand(rest);
    if (!args.empty() && args[0] == "areacodes")
        return ParseAreaCodesCommand(rest);
    if (!args.empty() && args[0] == "export")
        return ParseExportCommand(rest);
    if (!args.empty() && args[0] == "capi-line")
        return ParseCapiLineCommand(rest);
    if (!args.empty() && args[0] == "rules")
        return ParseRulesCommand(rest);
    return ParseMonitorOptions(args);
}

bool IsCalendarDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    const int year = std::stoi(text.substr(0, 4));
    const int month = std::stoi(text.substr(5, 2));
    const int day = std::stoi(text.substr(8, 2));
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string UsageText() {
    return "Usage: tavo [OPTION]...\n"
           "       tavo dump FILE\n"
           "       tavo say [--wav FILE] TEXT...\n"
           "       tavo import [--country CC] [--yes] FILE...\n"
           "       tavo areacodes COUNTRY\n"
           "       tavo export [--from DATE] [--to DATE] [--format csv|json] FILE|-\n"
           "       tavo rules check [FILE]\n"
           "       tavo rules replay [--from DATE] [--to DATE] [FILE]\n"
           "Monitor incoming ISDN calls through CAPI 2.0: every call is logged, listed,\n"
           "resolved to names and announced; the phones on the line ring as usual.\n"
           "\n"
           "Options:\n"
           "  --data-dir DIR        keep the call list, directories and log in DIR\n"
           "                        (default $TAVO_DATA_DIR, else $XDG_DATA_HOME/TAVO)\n"
           "  --line SOURCE[,SOURCE]...\n"
           "                        where calls come from, overriding [line] sources in\n"
           "                        tavo.conf: capi (the default), callmonitor (a router's\n"
           "                        call-monitor feed), ami (a PBX's manager interface) or\n"
           "                        sim (the simulated line); capi and sim not together\n"
           "  --capi-remote DRIVER:HOST[:PORT]\n"
           "                        reach a remote CAPI server through libcapi20,\n"
           "                        for example rcapi:127.0.0.1:2662; without a port,\n"
           "                        5031, where home routers serve CAPI over TCP\n"
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
           "  import [--country CC] [--yes] FILE...\n"
           "                        add the numbers of vCard or CSV address books to the phone\n"
           "                        book, after a preview and a confirmation\n"
           "  areacodes COUNTRY     print an area-code table for COUNTRY (for example DE)\n"
           "  export [--from DATE] [--to DATE] [--format csv|json] FILE|-\n"
           "                        write the call history with names as CSV or JSON lines\n"
           "  rules check [FILE]    check a rules file (default ~/.config/TAVO/rules.conf)\n"
           "  rules replay [--from DATE] [--to DATE] [FILE]\n"
           "                        count what the rules would have done with the history\n"
           "\n"
           "Exit codes: 0 success, 1 failure at run time, 2 bad command line or unusable file.\n";
}
