#include "data/ListFile.h"

#include "platform/FileBytes.h"

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

    // True when the end came at a field boundary with no stray bytes left over.
    bool consumedAll() const { return !cutInside; }

    int32_t Int() {
        if (atEnd || data.size() - pos < 4) {
            cutInside = cutInside || pos != data.size();
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
            cutInside = true;
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
    bool cutInside = false;
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
    // One logical stream, translated once: most histories hold no 0x0A at all, and then the
    // translation is a single scan.
    std::string logical;
    logical.reserve(4 + list.size() * 48);
    AppendInt(logical, ListFileVersion);
    for (const CallRecord& record : list)
        AppendRecordLogical(logical, record);
    if (logical.find('\n') == std::string::npos)
        return logical;
    std::string disk;
    disk.reserve(logical.size() + logical.size() / 64);
    AppendWithLineEnds(disk, logical);
    return disk;
}

ListFileDecode DecodeListFile(std::string_view disk, CallList& list) {
    const std::string logical = StripLineEnds(disk);
    Reader in(logical);
    ListFileDecode result;
    const int32_t version = in.Int();
    if (in.atEnd || version > ListFileVersion)
        return result;
    result.version = version;
    while (!in.atEnd) {
        CallRecord record;
        record.key = in.Text();
        if (in.atEnd) {
            // Nothing at all after the last whole record is the normal end of a file.
            result.complete = in.consumedAll();
            break;
        }
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
        const bool whole = !in.atEnd;
        list.append(std::move(record));
        ++result.added;
        if (!whole)
            break;
    }
    return result;
}

std::string FormatCallTime(int32_t callTime) {
    const std::time_t t = callTime;
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr)
        return std::string();
    // "%Y-%m-%d %H:%M:%S" by hand: the fields are plain numbers, and strftime costs more than
    // the whole rest of reading a record. Years of a 32-bit time have four digits.
    const int year = local.tm_year + 1900;
    if (year < 1000 || year > 9999) {
        char text[64];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
        return text;
    }
    char text[20];
    auto put2 = [](char* at, int value) {
        at[0] = static_cast<char>('0' + value / 10);
        at[1] = static_cast<char>('0' + value % 10);
    };
    put2(text, year / 100);
    put2(text + 2, year % 100);
    text[4] = '-';
    put2(text + 5, local.tm_mon + 1);
    text[7] = '-';
    put2(text + 8, local.tm_mday);
    text[10] = ' ';
    put2(text + 11, local.tm_hour);
    text[13] = ':';
    put2(text + 14, local.tm_min);
    text[16] = ':';
    put2(text + 17, local.tm_sec);
    return std::string(text, 19);
}

ListFileLoad LoadListFile(CallList& list, const std::string& fileName) {
    FileReadResult file = ReadFileBytes(fileName, MissingFile::Create);
    ListFileLoad load;
    load.opened = file.opened;
    load.error = std::move(file.error);
    load.fileSize = file.bytes.size();
    if (file.opened)
        load.decoded = DecodeListFile(file.bytes, list);
    return load;
}

bool LoadExistingListFile(CallList& list, const std::string& fileName, std::string& error) {
    FileReadResult file = ReadFileBytes(fileName, MissingFile::Fail);
    if (!file.opened) {
        error = file.error;
        return false;
    }
    DecodeListFile(file.bytes, list);
    return true;
}

bool SaveListFile(const CallList& list, const std::string& fileName) {
    return ReplaceFileAtomically(fileName, EncodeListFile(list));
}
