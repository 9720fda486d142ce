// Any bytes as what an Asterisk manager sends: nothing is a call before a login answer
// accepted it, never after one refused it, and the table of open calls stays bounded.
#include "sources/AmiSource.h"
#include "sources/LineSplitter.h"

#include <cstdlib>

namespace {

struct Checker : SourceListener {
    const AmiSourceProtocol* protocol = nullptr;
    void Call(const IncomingCallNotice& notice) override {
        if (!protocol->Listening() || protocol->Refused())
            std::abort();
        for (char c : notice.callingNumber + notice.calledNumber)
            if (!((c >= '0' && c <= '9') || c == '*' || c == '#' || c == '+'))
                std::abort();
    }
    void Outcome(const CallOutcome&) override {
        if (!protocol->Listening())
            std::abort();
    }
    void State(SourceState, const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    AmiSourceProtocol ami("tavo", "secret", size > 0 && data[0] & 1 ? "" : "from-external");
    Checker checker;
    checker.protocol = &ami;
    if (ami.Greeting().empty())
        std::abort();
    LineSplitter splitter(1024);
    splitter.Feed(bytes, [&](std::string_view line) { ami.Line(line, checker); });
    return 0;
}
