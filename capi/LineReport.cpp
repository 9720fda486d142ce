#include "capi/LineReport.h"

#include <cstdio>

namespace {

std::string In(unsigned seconds) {
    return std::to_string(seconds) + " s";
}

std::string Code(unsigned code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", code);
    return text;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        if (!out.empty())
            out.push_back(' ');
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

} // namespace

std::string LineReportText(const LineReport& report) {
    using Kind = LineReport::Kind;
    if (!report.source.empty()) {
        const std::string name = report.source + ": ";
        switch (report.kind) {
        case Kind::Listening:
            return name + "listening at " + report.text;
        case Kind::ListeningAgain:
            return name + "listening again at " + report.text;
        case Kind::ConnectionLost:
            return name + "connection lost (" + report.text + "); trying again";
        default:
            return name + report.text;
        }
    }
    switch (report.kind) {
    case Kind::Listening:
        return "listening on " + std::to_string(report.count) + " controller(s)";
    case Kind::ListeningAgain:
        return "listening again on " + std::to_string(report.count) + " controller(s)";
    case Kind::ConnectionLost:
        return "CAPI connection lost";
    case Kind::RegistrationFailed:
        return report.text;
    case Kind::RetryingIn:
        return "retrying CAPI registration in " + In(report.seconds);
    case Kind::Undecodable:
        return (report.count == 0 ? "CAPI signalled a message and handed over none (result " +
                                        Code(report.code)
                                  : "CAPI handed over what is no CAPI message (result " +
                                        Code(report.code) + ", " + std::to_string(report.count) +
                                        " octets: " + HexBytes(report.bytes)) +
               "); starting the line afresh";
    case Kind::ProcessEnded:
        return "the CAPI line process " + report.text + "; restarting it in " + In(report.seconds);
    case Kind::ProcessSilent:
        return "the CAPI line process stopped answering and was killed; restarting it in " +
               In(report.seconds);
    case Kind::RegistrationUnanswered:
        return "the CAPI server does not answer the registration; retrying CAPI registration in " +
               In(report.seconds);
    case Kind::SharedLockReleased:
        return "libcapi20's shared lock was left taken by a process that was killed; it has been "
               "released";
    case Kind::PipeGarbled:
        return report.text;
    }
    return {};
}

bool LineReportFilter::Pass(const LineReport& report) {
    using Kind = LineReport::Kind;
    switch (report.kind) {
    case Kind::Listening:
    case Kind::ListeningAgain:
        lastError.reset();
        lastPause.reset();
        return true;
    case Kind::RegistrationFailed:
        if (lastError == report.text)
            return false;
        lastError = report.text;
        return true;
    case Kind::RetryingIn:
        if (lastPause == report.seconds)
            return false;
        lastPause = report.seconds;
        return true;
    default:
        return true;
    }
}
