// Any bytes as a list file: the load must stay inside the data, and what it keeps must survive
// a save and a second load unchanged.
#include "data/ListFile.h"

#include <cstdlib>
#include <string_view>

namespace {

bool SameStoredFields(const CallRecord& a, const CallRecord& b) {
    return a.key == b.key && a.value == b.value && a.reserved == b.reserved &&
           a.speakText == b.speakText && a.callTime == b.callTime && a.cipValue == b.cipValue;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view disk(reinterpret_cast<const char*>(data), size);
    CallList first;
    DecodeListFile(disk, first);
    CallList second;
    DecodeListFile(EncodeListFile(first), second);
    if (first.size() != second.size())
        std::abort();
    auto b = second.begin();
    for (const CallRecord& a : first) {
        if (!SameStoredFields(a, *b++))
            std::abort();
    }
    return 0;
}
