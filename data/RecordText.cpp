#include "data/RecordText.h"

#include <algorithm>
#include <cstring>
#include <limits>

void RecordText::Set(std::string_view text) {
    if (text.size() <= SmallCapacity) {
        if (!text.empty())
            std::memcpy(bytes, text.data(), text.size());
        tag = static_cast<uint8_t>(text.size() + 1);
        return;
    }
    // The file format counts lengths in 32 bits: nothing longer can be stored or loaded.
    const size_t size = std::min<size_t>(text.size(), std::numeric_limits<uint32_t>::max());
    char* data = new char[size];
    std::memcpy(data, text.data(), size);
    const auto size32 = static_cast<uint32_t>(size);
    std::memcpy(bytes, &data, sizeof data);
    std::memcpy(bytes + sizeof data, &size32, sizeof size32);
    tag = Heap;
}

void RecordText::FreeHeap() {
    delete[] HeapData();
}

RecordText::RecordText(const RecordText& other) {
    if (other.has_value())
        Set(other.view());
}

RecordText& RecordText::operator=(const RecordText& other) {
    if (this != &other) {
        // Copy first: `other` may be a text that this one's release would free.
        RecordText copy(other);
        *this = std::move(copy);
    }
    return *this;
}
