#pragma once
// Bytes received on a connection and not yet handed out as whole frames: what the readers of
// both framings share. A reader that finds the framing lost breaks the stream for good, as a
// stream that lost its framing cannot be resynchronised.

#include "tools/capi-peer/Hex.h"

#include <cstddef>
#include <cstdint>

class ReceivedBytes {
public:
    void Append(const uint8_t* data, size_t size) {
        if (broken)
            return;
        // Drop what was handed out before growing, so a long session does not keep every byte.
        if (start > 0) {
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(start));
            start = 0;
        }
        pending.insert(pending.end(), data, data + size);
    }
    bool Broken() const { return broken; }
    // The length the last bad frame announced, for the error message.
    size_t BadLength() const { return badLength; }

protected:
    size_t Available() const { return broken ? 0 : pending.size() - start; }
    uint8_t At(size_t offset) const { return pending[start + offset]; }
    // The octets from `from` to `to` of what is pending; the first `to` octets are handed out.
    Bytes Take(size_t from, size_t to) {
        const auto first = pending.begin() + static_cast<std::ptrdiff_t>(start);
        Bytes taken(first + static_cast<std::ptrdiff_t>(from),
                    first + static_cast<std::ptrdiff_t>(to));
        start += to;
        return taken;
    }
    void Break(size_t length) {
        broken = true;
        badLength = length;
    }

private:
    Bytes pending;
    size_t start = 0;
    bool broken = false;
    size_t badLength = 0;
};
