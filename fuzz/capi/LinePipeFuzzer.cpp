// Feeds arbitrary bytes, cut into pieces where the input says, to the reader of the line
// process's pipe and to the line process's reader of the monitor's commands. Every message or
// command either passes on must survive a trip through the encoder unchanged, no complaint may be
// longer than a line can be, and neither reader may hold more than one line's worth of bytes.
#include "capi/LineProtocol.h"

#include <cstdlib>
#include <string_view>

namespace {
bool Same(const LinePipeMessage& a, const LinePipeMessage& b) {
    return a.kind == b.kind && a.text == b.text && a.notice.callingNumber == b.notice.callingNumber &&
           a.notice.calledNumber == b.notice.calledNumber &&
           a.notice.connectionId == b.notice.connectionId &&
           a.notice.cipValue == b.notice.cipValue && a.notice.refused == b.notice.refused &&
           a.report.kind == b.report.kind &&
           a.report.count == b.report.count && a.report.seconds == b.report.seconds &&
           a.report.code == b.report.code && a.report.text == b.report.text &&
           a.report.bytes == b.report.bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte says how large the pieces are; the rest is what the pipe carries.
    const size_t piece = 1 + data[0] % 64;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    LinePipeReader reader(
        [](LinePipeMessage&& message) {
            const std::string line = EncodeLinePipeMessage(message);
            if (line.empty() || line.back() != '\n')
                std::abort();
            const auto again = DecodeLinePipeMessage(std::string_view(line).substr(0, line.size() - 1));
            if (!again || !Same(*again, message))
                std::abort();
        },
        [](const std::string& complaint) {
            if (complaint.size() > 1024)
                std::abort();
        });
    LineCommandReader commands([](const LineCommand& command) {
        const std::string line = EncodeLineCommand(command);
        if (line.empty() || line.back() != '\n' || line.size() > kMaxLineCommand + 1)
            std::abort();
        const auto again = DecodeLineCommand(std::string_view(line).substr(0, line.size() - 1));
        if (!again || again->kind != command.kind || again->connectionId != command.connectionId)
            std::abort();
    });
    for (size_t at = 0; at < stream.size(); at += piece) {
        reader.Feed(stream.substr(at, piece));
        commands.Feed(stream.substr(at, piece));
    }
    return 0;
}
