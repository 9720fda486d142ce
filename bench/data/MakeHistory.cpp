// Writes a "caller.his" of N calls (default 1,000,000) for timing a start-up with a long
// history: tavo-make-history FILE [N]. One call a minute, ending now.
#include "data/CallList.h"
#include "data/ListFile.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tavo-make-history FILE [CALLS]\n");
        return 2;
    }
    const long calls = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1'000'000;
    const std::time_t now = std::time(nullptr);
    CallList list;
    for (long i = 0; i < calls; ++i) {
        CallRecord record;
        record.key = "4711" + std::to_string(i % 5);
        record.value = i % 7 == 0 ? "0" : "030" + std::to_string(1'000'000 + i % 90'000);
        record.callTime = static_cast<int32_t>(now - (calls - i) * 60);
        record.cipValue = i % 3 == 0 ? 1 : 16;
        record.repeatCount = 1;
        list.append(std::move(record));
    }
    if (!SaveListFile(list, argv[1])) {
        std::fprintf(stderr, "tavo-make-history: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
