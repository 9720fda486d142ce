#include "ListFile.h"

#include <cstring>
#include <ctime>

namespace {

void AppendInt(std::string& logical, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    const char bytes[4] = {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
                           static_cast<char>((bits >> 16) & 0xFF),
                           static_cast<char>((bits >> 24) & 0xFF)};
    logical.append(bytes, 4);
}

void AppendText(std::string& logical, const OptText& text) {
    if (!text) {
        AppendInt(logical, 0);
        return;
    }
    // Texts are zero-terminated on disk, so anything after an embedded zero cannot be stored.
    const size_t length = std::strlen(text->c_str());
    AppendInt(logical, static_cast<int32_t>(length + 1));
    logical.append(text->data(), length);
    logical.push_back('\0');
}

void AppendRecordLogical(std::string& logical, const CallRecord& record) {
    AppendText(logical, record.key);
    AppendText(logical, record.value);
    AppendInt(logical, record.reserved);
    AppendText(logical, record.speakText);
    AppendInt(logical, record.callTime);
    AppendInt(logical, record.cipValue);
}

// Reads the logical stream. `atEnd` turns true once a read tried to go past the end, as with
// a C stream; every later read then fails too.
class Reader {
public:
    explicit Reader(std::string_view data) : data(data) {}

    bool atEnd = false;

    int32_t Int() {
        if (atEnd || data.size() - pos < 4) {
            atEnd = true;
            pos = data.size();
            return 0;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(data.data() + pos);
        pos += 4;
        return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                    static_cast<uint32_t>(p[2]) << 16 |
                                    static_cast<uint32_t>(p[3]) << 24);
    }

    OptText Text() {
        const int32_t length = Int();
        if (length == 0 || atEnd)
            return std::nullopt;
        // A length that is negative or longer than the rest of the file cannot be real data:
        // treat it as a file cut short rather than trusting it.
        if (length < 0 || static_cast<size_t>(length) > data.size() - pos) {
            atEnd = true;
            pos = data.size();
            return std::nullopt;
        }
        std::string_view bytes = data.substr(pos, static_cast<size_t>(length));
        pos += static_cast<size_t>(length);
        // The stored zero ends the text; a text without one keeps all its bytes.
        const size_t zero = bytes.find('\0');
        return std::string(bytes.substr(0, zero));
    }

private:
    std::string_view data;
    size_t pos = 0;
};

} // namespace

void AppendWithLineEnds(std::string& disk, std::string_view logical) {
    size_t start = 0;
    for (;;) {
        const size_t lf = logical.find('\n', start);
        if (lf == std::string_view::npos) {
            disk.append(logical.substr(start));
            return;
        }
        disk.append(logical.substr(start, lf - start));
        disk.append("\r\n");
        start = lf + 1;
    }
}

std::string StripLineEnds(std::string_view disk) {
    std::string logical;
    logical.reserve(disk.size());
    size_t start = 0;
    for (;;) {
        const size_t cr = disk.find("\r\n", start);
        if (cr == std::string_view::npos) {
            logical.append(disk.substr(start));
            return logical;
        }
        logical.append(disk.substr(start, cr - start));
        logical.push_back('\n');
        start = cr + 2;
    }
}

void AppendRecordBytes(std::string& disk, const CallRecord& record) {
    std::string logical;
    AppendRecordLogical(logical, record);
    AppendWithLineEnds(disk, logical);
}

std::string EncodeListFile(const CallList& list) {
    std::string disk;
    disk.reserve(4 + list.size() * 48);
    AppendWithLineEnds(disk, std::string_view("\x04\0\0\0", 4));
    std::string logical;
    for (const CallRecord& record : list) {
        logical.clear();
        AppendRecordLogical(logical, record);
        AppendWithLineEnds(disk, logical);
    }
    return disk;
}

size_t DecodeListFile(std::string_view disk, CallList& list) {
    const std::string logical = StripLineEnds(disk);
    Reader in(logical);
    const int32_t version = in.Int();
    if (in.atEnd || version > ListFileVersion)
        return 0;
    size_t added = 0;
    while (!in.atEnd) {
        CallRecord record;
        record.key = in.Text();
        if (in.atEnd)
            break;
        record.value = in.Text();
        record.reserved = in.Int();
        if (version >= 2)
            record.speakText = in.Text();
        if (version >= 3) {
            record.callTime = in.Int();
            // A time that was cut off is no time: leave the text absent rather than 1970.
            if (!in.atEnd)
                record.timeText = FormatCallTime(record.callTime);
        }
        if (version >= 4)
            record.cipValue = in.Int();
        list.append(std::move(record));
        ++added;
    }
    return added;
}

std::string FormatCallTime(int32_t callTime) {
    const std::time_t t = callTime;
    std::tm local{};
    char text[64];
    if (localtime_r(&t, &local) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return std::string();
    return text;
}
