#include "core/NetworkLines.h"

#include "sources/AmiSource.h"
#include "sources/FeedSource.h"

NetworkLine::NetworkLine(uint8_t id, std::string name, NetworkSourceOptions options,
                         std::unique_ptr<SourceProtocol> protocol, NetworkLineSinks sinks)
    : id(id), name(std::move(name)), where(options.host + ":" + std::to_string(options.port)),
      sinks(std::move(sinks)), source(std::move(options), std::move(protocol), *this) {}

NetworkLine::~NetworkLine() {
    source.Stop();
}

uint32_t NetworkConnectionId(uint8_t source, uint32_t id) {
    return uint32_t(source) << 24 | (id & 0x1FFFF) << 7;
}

void NetworkLine::Call(const IncomingCallNotice& notice) {
    IncomingCallNotice tagged = notice;
    tagged.source = id;
    tagged.connectionId = NetworkConnectionId(id, notice.connectionId);
    if (sinks.call)
        sinks.call(tagged);
}

void NetworkLine::Outcome(const CallOutcome& outcome) {
    CallOutcome tagged = outcome;
    tagged.connectionId = NetworkConnectionId(id, outcome.connectionId);
    if (sinks.outcome)
        sinks.outcome(id, tagged);
}

void NetworkLine::State(SourceState state, const std::string& detail) {
    LineReport report;
    report.source = name;
    report.text = detail;
    switch (state) {
    case SourceState::Listening:
        report.kind = listened && down ? LineReport::Kind::ListeningAgain
                                       : LineReport::Kind::Listening;
        listened = true;
        down = false;
        break;
    case SourceState::Lost:
        report.kind = LineReport::Kind::ConnectionLost;
        down = true;
        break;
    case SourceState::Failing:
        report.kind = LineReport::Kind::RegistrationFailed;
        down = true;
        if (detail != LoginRefusedText)
            report.text = "cannot reach " + where + " (" + detail + ")";
        // The source tells a failure once until it changes: a refused login is a box once.
        if (detail == LoginRefusedText && sinks.message)
            sinks.message("The manager interface at " + where +
                          " refused the login (user and secret in the [ami] section of "
                          "tavo.conf); it is tried again once a minute.");
        break;
    }
    if (sinks.report)
        sinks.report(report);
}

uint8_t LineSourceId(LineSource source) {
    switch (source) {
    case LineSource::Capi:
    case LineSource::Sim:
        return 0;
    case LineSource::CallMonitor:
        return 1;
    case LineSource::Ami:
        return 2;
    }
    return 0;
}

std::vector<std::unique_ptr<NetworkLine>> MakeNetworkLines(const LineSettings& settings,
                                                           const std::vector<LineSource>& sources,
                                                           const NetworkLineSinks& sinks,
                                                           std::vector<std::string>& problems) {
    std::vector<std::unique_ptr<NetworkLine>> lines;
    for (LineSource source : sources) {
        NetworkSourceOptions options;
        options.name = std::string(LineSourceName(source));
        std::unique_ptr<SourceProtocol> protocol;
        if (source == LineSource::CallMonitor) {
            if (settings.callMonitor.host.empty()) {
                problems.push_back("The call-monitor feed has no router to reach: set host in "
                                   "the [callmonitor] section of tavo.conf.");
                continue;
            }
            options.host = settings.callMonitor.host;
            options.port = unsigned(settings.callMonitor.port);
            protocol = std::make_unique<FeedProtocol>();
        } else if (source == LineSource::Ami) {
            if (settings.ami.host.empty()) {
                problems.push_back("The PBX's manager interface has no host to reach: set host "
                                   "in the [ami] section of tavo.conf.");
                continue;
            }
            options.host = settings.ami.host;
            options.port = unsigned(settings.ami.port);
            protocol = std::make_unique<AmiSourceProtocol>(settings.ami.user, settings.ami.secret,
                                                           settings.ami.context);
        } else {
            continue;
        }
        std::string name = options.name; // before the options are moved away
        lines.push_back(std::make_unique<NetworkLine>(LineSourceId(source), std::move(name),
                                                      std::move(options), std::move(protocol),
                                                      sinks));
    }
    return lines;
}
