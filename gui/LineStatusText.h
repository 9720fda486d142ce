#pragma once
// What the window's status bar and the tray icon's tooltip say about the line, and the tray
// icon of a line that does not work. Whoever learns the line's state (the line supervisor's
// events) fills a LineStatus and hands it to CMonitorDlg::SetLineStatus.

#include "capi/LineReport.h"

#include <QIcon>
#include <QString>

#include <ctime>
#include <map>
#include <string>
#include <vector>

struct LineStatus {
    enum class State {
        Unknown,   // nothing told yet: the window says nothing about the line
        Listening, // calls are received
        Lost,      // the line went away; it is tried again
        NoDriver,  // no ISDN driver on this machine: no calls until one is installed
    };
    State state = State::Unknown;
    std::time_t since = 0;   // Lost: when it was lost
    std::time_t retryAt = 0; // Lost: when it is tried next; 0 when not known
    std::string reason;      // what the driver or the supervisor said, may be empty
};

// The state after the line reported `report` at `now`: listening, lost since when it was first
// lost (with the next try when the report names it), or no driver. Reports that say nothing of
// the state leave it as it is.
LineStatus LineStatusAfter(const LineStatus& current, const LineReport& report, std::time_t now);

// With several line sources (CAPI, the router's feed, the PBX's manager), each keyed by its
// LineReport::source: the one the window shows, the worst of them (lost, no driver, listening);
// the reason of a source other than CAPI names it.
LineStatus WorstLineStatus(const std::map<std::string, LineStatus>& bySource);

// One line, e.g. "Line: listening", "Line lost since 14:05, retrying in 30 s",
// "No ISDN driver: no calls are received"; empty for Unknown. `now` counts the retry down.
QString LineStatusText(const LineStatus& status, std::time_t now);

// With several lines (CAPI, the router's feed, the PBX's manager) the window names each.
struct SourceLineStatus {
    QString label; // LineSourceLabel
    LineStatus status;
};

// How the window names a line: "CAPI", "simulated line", "call monitor 192.168.178.1:1012",
// "AMI 10.0.0.2:5038" (`name` as tavo.conf names it, `where` the host and port a network line
// connects to).
QString LineSourceLabel(const std::string& name, const std::string& where);

// The status bar's line with several lines: each with its state, e.g. "CAPI: listening · call
// monitor 192.168.178.1:1012: lost since 14:05"; one that has told nothing yet is "starting".
// Empty while none has told anything.
QString LineStatusesText(const std::vector<SourceLineStatus>& sources, std::time_t now);

// For the tray tooltip, which names only trouble: each line that does not work, one a line, e.g.
// "call monitor 192.168.178.1:1012: lost since 14:05"; empty while all work.
QString LineTroubleText(const std::vector<SourceLineStatus>& sources, std::time_t now);

// Whether the line does not work (the tray shows the lost-line icon).
bool LineDown(const LineStatus& status);

// `base` with a red bar across its lower right corner: the line does not work.
QIcon LineDownIcon(const QIcon& base);
