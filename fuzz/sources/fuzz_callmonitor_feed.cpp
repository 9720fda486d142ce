// Any bytes as the router's call-monitor feed, in pieces: every call told carries numbers of
// dialling characters only, and every outcome belongs to a call that rang.
#include "sources/FeedSource.h"
#include "sources/LineSplitter.h"

#include <cstdlib>
#include <set>

namespace {

struct Checker : SourceListener {
    std::set<uint32_t> rang;
    void Call(const IncomingCallNotice& notice) override {
        for (char c : notice.callingNumber + notice.calledNumber)
            if (!((c >= '0' && c <= '9') || c == '*' || c == '#' || c == '+'))
                std::abort();
        if (notice.callingNumber.empty() || notice.callingNumber.size() > 127)
            std::abort();
        rang.insert(notice.connectionId);
    }
    void Outcome(const CallOutcome& outcome) override {
        if (rang.count(outcome.connectionId) == 0 || outcome.seconds < 0)
            std::abort();
    }
    void State(SourceState, const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Checker checker;
    FeedProtocol feed;
    LineSplitter splitter(256);
    // The first byte chooses where the stream is cut into reads.
    const size_t piece = size == 0 ? 1 : size_t(data[0] % 17) + 1;
    for (size_t at = 0; at < bytes.size(); at += piece)
        splitter.Feed(bytes.substr(at, piece), [&](std::string_view line) {
            if (line.size() > 256)
                std::abort();
            feed.Line(line, checker);
        });
    return 0;
}
