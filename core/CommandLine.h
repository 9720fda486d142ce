#pragma once
// The command line of `tavo`: parsed by a plain function so that tests can drive it.

#include "settings/LineSettings.h"

#include <optional>
#include <string>
#include <vector>

enum class LineKind { Capi, Sim };
enum class TavoCommand { Monitor, Dump, Say, Import, AreaCodes, Export, CapiLine, Rules };
enum class ExportFormat { Csv, Json };

struct CapiRemote {
    static constexpr unsigned RouterPort = 5031; // when DRIVER:HOST names no port
    std::string driver;
    std::string host;
    unsigned port = 0;
};

struct CommandLine {
    TavoCommand command = TavoCommand::Monitor;
    std::optional<std::string> dataDir;
    LineKind line = LineKind::Capi;
    // --line with a list of sources: overrides [line] sources in tavo.conf. `line` is then Sim
    // when the list names sim.
    std::optional<std::vector<LineSource>> lineSources;
    std::optional<CapiRemote> capiRemote;
    bool demo = false;
    bool headless = false;
    bool help = false;
    bool version = false;
    std::optional<std::string> autostart; // "on" or "off"
    // tavo dump FILE
    std::string dumpFile;
    // tavo say [--wav FILE] TEXT...
    std::optional<std::string> wavFile;
    std::vector<std::string> sayWords;
    // tavo import [--country CC] [--yes] FILE...
    std::optional<std::string> country;
    bool yes = false;
    std::vector<std::string> importFiles;
    // tavo areacodes COUNTRY (the country is kept in `country`)
    // tavo export [--from DATE] [--to DATE] [--format csv|json] FILE|-
    std::optional<std::string> exportFrom; // YYYY-MM-DD, checked
    std::optional<std::string> exportTo;
    ExportFormat exportFormat = ExportFormat::Csv;
    std::string exportFile; // "-": standard output
    // tavo rules check [FILE] | tavo rules replay [--from DATE] [--to DATE] [FILE]
    // (the dates are kept in exportFrom and exportTo); no file: the user's rules.conf
    bool rulesReplay = false;
    std::optional<std::string> rulesFile;
    // tavo capi-line [--capi-remote DRIVER:HOST:PORT] [--again]: the monitor's own line
    // process, started by the monitor and not listed in the help.
    bool lineAgain = false;
};

struct CommandLineResult {
    CommandLine options;
    std::string error; // empty when the line was understood
};

// Parses argv[1..argc-1]. Never exits and never prints; the caller reports `error` and exits 2.
CommandLineResult ParseCommandLine(const std::vector<std::string>& args);

// "DRIVER:HOST:PORT" -> CapiRemote; nullopt when malformed.
std::optional<CapiRemote> ParseCapiRemote(const std::string& text);

// True for a real calendar date written YYYY-MM-DD.
bool IsCalendarDate(const std::string& text);

// The text printed by --help.
std::string UsageText();
