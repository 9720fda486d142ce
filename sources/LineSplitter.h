#pragma once
// Text lines out of a byte stream from the network, whatever arrives: lines end with LF or
// CR LF, pieces of a line may come in separate reads, and a line longer than the limit is cut
// off and dropped up to its end (counted), so a peer can never make the buffer grow without
// bound.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class LineSplitter {
public:
    explicit LineSplitter(size_t maxLine = 4096) : maxLine(maxLine) {}

    // Adds bytes; each complete line (without its line end) is handed to `take`.
    template <typename Take> void Feed(std::string_view bytes, Take&& take) {
        for (char c : bytes) {
            if (c == '\n') {
                if (dropping) {
                    dropping = false;
                } else {
                    if (!pending.empty() && pending.back() == '\r')
                        pending.pop_back();
                    take(std::string_view(pending));
                }
                pending.clear();
            } else if (!dropping) {
                if (pending.size() >= maxLine) {
                    dropping = true;
                    ++overlong;
                    pending.clear();
                } else {
                    pending += c;
                }
            }
        }
    }

    // Forgets a half line (after a reconnect).
    void Reset() {
        pending.clear();
        dropping = false;
    }
    // Lines dropped for being longer than the limit.
    size_t Overlong() const { return overlong; }

private:
    size_t maxLine;
    std::string pending;
    bool dropping = false;
    size_t overlong = 0;
};
