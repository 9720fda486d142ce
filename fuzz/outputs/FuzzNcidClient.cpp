// Any bytes as what an NCID client sends, arriving in pieces whose sizes the first byte picks.
// The lines must be the same however the bytes are split, never empty, never longer than the
// limit and free of line ends; reading each as a HELLO must hold up.
#include "outputs/NcidLines.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t piece = 1 + data[0] % 64;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    NcidClientLines whole;
    std::vector<std::string> lines;
    whole.Take(bytes, lines);

    NcidClientLines split;
    std::vector<std::string> splitLines;
    for (size_t at = 0; at < bytes.size(); at += piece)
        split.Take(bytes.substr(at, piece), splitLines);
    if (splitLines != lines)
        std::abort();

    for (const std::string& line : lines) {
        if (line.empty() || line.size() > NcidClientLines::MaxLine ||
            line.find_first_of("\r\n") != std::string::npos)
            std::abort();
        const NcidHello hello = ReadHello(line);
        if (hello.noLog && line.find("no_log") == std::string::npos)
            std::abort();
        if (hello.endsStartup != (line.rfind("HELLO:", 0) != 0 || line.rfind("HELLO: CMD:", 0) == 0))
            std::abort();
    }
    return 0;
}
