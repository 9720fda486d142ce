#include "core/IncomingCallConsole.h"

void ConsoleCallAnnouncer::LogLineWritten(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
    // Whoever reads the monitor's output (a pipe, a log collector) sees each call at once.
    std::fflush(out);
}
