#pragma once
// The text of a record field: absent, or bytes of any value. Sixteen bytes whatever it holds:
// texts of up to 15 bytes (numbers, MSNs, short names) are kept in place, longer ones in one
// block of their own. A million calls cost the bytes of their numbers, not of a std::string
// and an optional around each.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

using OptText = std::optional<std::string>;

class RecordText {
public:
    RecordText() = default;
    RecordText(std::nullopt_t) {}
    RecordText(std::string_view text) { Set(text); }
    RecordText(const std::string& text) { Set(text); }
    RecordText(const char* text) { Set(text); }
    RecordText(const OptText& text) {
        if (text)
            Set(*text);
    }
    RecordText(const RecordText& other);
    // Moves and releases are inline: a list file's load makes and moves millions of texts.
    RecordText(RecordText&& other) noexcept {
        // The bytes are the whole state (the text in place, or the one pointer that owns it),
        // and the source is left Absent, so a byte copy is the move.
        // NOLINTNEXTLINE(bugprone-undefined-memory-manipulation)
        std::memcpy(static_cast<void*>(this), &other, sizeof *this);
        other.tag = Absent;
    }
    RecordText& operator=(const RecordText& other);
    RecordText& operator=(RecordText&& other) noexcept {
        if (this != &other) {
            Release();
            // NOLINTNEXTLINE(bugprone-undefined-memory-manipulation): as in the move above
            std::memcpy(static_cast<void*>(this), &other, sizeof *this);
            other.tag = Absent;
        }
        return *this;
    }
    ~RecordText() { Release(); }

    bool has_value() const { return tag != Absent; }
    explicit operator bool() const { return has_value(); }
    // The bytes; empty when absent.
    std::string_view view() const {
        if (tag == Heap)
            return {HeapData(), HeapSize()};
        return {bytes, tag == Absent ? 0 : size_t(tag - 1)};
    }
    std::string operator*() const { return std::string(view()); }
    operator OptText() const { return has_value() ? OptText(std::string(view())) : std::nullopt; }

    // Equal when both are absent, or both present with the same bytes.
    friend bool operator==(const RecordText& a, const RecordText& b) {
        return a.has_value() == b.has_value() && a.view() == b.view();
    }

private:
    static constexpr uint8_t Absent = 0; // 1 to 16: in place, length + 1
    static constexpr uint8_t Heap = 0xFF;
    static constexpr size_t SmallCapacity = 15;

    void Set(std::string_view text);
    void Release() {
        if (tag == Heap)
            FreeHeap();
        tag = Absent;
    }
    void FreeHeap();
    // A text on the heap keeps its address in bytes 0 to 7 and its size in bytes 8 to 11.
    char* HeapData() const {
        char* data;
        std::memcpy(&data, bytes, sizeof data);
        return data;
    }
    uint32_t HeapSize() const {
        uint32_t size;
        std::memcpy(&size, bytes + sizeof(char*), sizeof size);
        return size;
    }

    alignas(char*) char bytes[SmallCapacity];
    uint8_t tag = Absent;
};

static_assert(sizeof(RecordText) == 16);
