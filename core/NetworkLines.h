#pragma once
// The line sources reached over the network that tavo.conf or --line chooses beside the CAPI
// line: the router's call-monitor feed and the PBX's manager. Each runs a NetworkSource on its
// own thread and hands the monitor the same notices as the CAPI line, each call's outcome, and
// its state as the line's reports (tagged with its name).

#include "capi/IncomingCallNotice.h"
#include "capi/LineReport.h"
#include "outputs/CallEvent.h"
#include "settings/LineSettings.h"
#include "sources/NetworkSource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct NetworkLineSinks {
    // Returns when the call has been handled (the source waits, as the CAPI line does).
    std::function<void(const IncomingCallNotice&)> call;
    std::function<void(uint8_t source, const CallOutcome&)> outcome;
    // Each change of the source's state, for the log and the window.
    std::function<void(const LineReport&)> report;
    // A refused login, told once: the user must see it.
    std::function<void(const std::string&)> message;
};

class NetworkLine final : public SourceListener {
public:
    // `id` is what its notices carry as their source.
    NetworkLine(uint8_t id, std::string name, NetworkSourceOptions options,
                std::unique_ptr<SourceProtocol> protocol, NetworkLineSinks sinks);
    ~NetworkLine() override;

    void Start() { source.Start(); }
    void RequestStop() { source.RequestStop(); }
    bool IsFinished() const { return source.IsFinished(); }
    void Stop() { source.Stop(); }

    void Call(const IncomingCallNotice& notice) override;
    void Outcome(const CallOutcome& outcome) override;
    void State(SourceState state, const std::string& detail) override;

private:
    uint8_t id;
    std::string name;
    std::string where; // host:port
    NetworkLineSinks sinks;
    bool listened = false; // since when Listening again is "again"
    bool down = false;
    NetworkSource source; // last: its thread ends before the rest goes
};

// The connection id a network source's call gets in the monitor: the router's ids (0, 1, ...)
// and the manager's would otherwise meet each other's and the CAPI line's PLCIs, and a call
// with the id of one less than 5 s old is taken for its repeat. The source goes in the high
// octet, never set in a PLCI, and the controller's seven bits stay 0: no CAPI controller.
uint32_t NetworkConnectionId(uint8_t source, uint32_t id);

// The numbers the monitor gives its sources' notices (the CAPI line's is 0).
uint8_t LineSourceId(LineSource source);

// A line for each network source in `sources` (capi and sim are not these); a source that
// cannot be opened (no host set) is left out with its reason in `problems`.
std::vector<std::unique_ptr<NetworkLine>> MakeNetworkLines(const LineSettings& settings,
                                                           const std::vector<LineSource>& sources,
                                                           const NetworkLineSinks& sinks,
                                                           std::vector<std::string>& problems);
