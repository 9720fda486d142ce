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

// Texts are zero-terminated on disk, so anything after an embedded zero cannot be stored.
std::string_view StoredPart(const RecordText& text) {
    const std::string_view bytes = text.view();
    const void* zero = std::memchr(bytes.data(), '\0', bytes.size());
    return zero
               ? bytes.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - bytes.data()))
               : bytes;
}

// The logical bytes of one record into `out`, which holds LogicalSize(record) bytes.
char* PutInt(char* out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    out[0] = static_cast<char>(bits & 0xFF);
    out[1] = static_cast<char>((bits >> 8) & 0xFF);
    out[2] = static_cast<char>((bits >> 16) & 0xFF);
    out[3] = static_cast<char>((bits >> 24) & 0xFF);
    return out + 4;
}

char* PutText(char* out, const RecordText& text) {
    if (!text)
        return PutInt(out, 0);
    const std::string_view bytes = StoredPart(text);
    out = PutInt(out, static_cast<int32_t>(bytes.size() + 1));
    if (!bytes.empty())
        std::memcpy(out, bytes.data(), bytes.size());
    out[bytes.size()] = '\0';
    return out + bytes.size() + 1;
}

size_t LogicalSize(const CallRecord& r) {
    auto text = [](const RecordText& t) { return 4 + (t ? StoredPart(t).size() + 1 : 0); };
    return text(r.key) + text(r.value) + 4 + text(r.speakText) + 8;
}

char* PutRecord(char* out, const CallRecord& r) {
    out = PutText(out, r.key);
    out = PutText(out, r.value);
    out = PutInt(out, r.reserved);
    out = PutText(out, r.speakText);
    out = PutInt(out, r.callTime);
    return PutInt(out, r.cipValue);
}

// Each 0x0D 0x0A becomes 0x0A, in place.
void StripLineEndsInPlace(std::string& bytes) {
    char* const data = bytes.data();
    const size_t size = bytes.size();
    size_t read = 0, write = 0;
    while (read < size) {
        const void* found = std::memchr(data + read, '\r', size - read);
        const size_t cr =
            found ? static_cast<size_t>(static_cast<const char*>(found) - data) : size;
        if (write != read)
            std::memmove(data + write, data + read, cr - read);
        write += cr - read;
        read = cr;
        if (read == size)
            break;
        if (read + 1 < size && data[read + 1] == '\n') {
            data[write++] = '\n';
            read += 2;
        } else {
            data[write++] = '\r';
            read += 1;
        }
    }
    bytes.resize(write);
}

// Reads the logical stream. `atEnd` turns true once a read tried to go past the end, as with
// a C stream; every later read then fails too.
class Reader {
public:
    explicit Reader(std::string_view data) : data(data) {}

    bool atEnd = false;
    // Every text so far ended in its only zero.
    bool canonical = true;

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

    RecordText Text() {
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
        const void* zero = std::memchr(bytes.data(), '\0', bytes.size());
        canonical = canonical && zero == bytes.data() + bytes.size() - 1;
        return RecordText(zero ? bytes.substr(0, static_cast<const char*>(zero) - bytes.data())
                               : bytes);
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
    std::string logical(disk);
    StripLineEndsInPlace(logical);
    return logical;
}

void AppendRecordBytes(std::string& disk, const CallRecord& record) {
    // Most records are short: they are put together on the stack, and most hold no 0x0A, so
    // they go to the file as they are.
    char small[256];
    const size_t size = LogicalSize(record);
    std::string large;
    char* logical = small;
    if (size > sizeof small) {
        large.resize(size);
        logical = large.data();
    }
    PutRecord(logical, record);
    const std::string_view bytes(logical, size);
    if (std::memchr(logical, '\n', size) == nullptr)
        disk.append(bytes);
    else
        AppendWithLineEnds(disk, bytes);
}

std::string EncodeListFile(const CallList& list) {
    size_t size = 4;
    for (const CallRecord& record : list)
        size += LogicalSize(record);
    std::string disk;
    // Room for a few translated line ends; the string grows if a file holds more.
    disk.reserve(size + size / 32);
    AppendInt(disk, ListFileVersion);
    for (const CallRecord& record : list)
        AppendRecordBytes(disk, record);
    return disk;
}

namespace {

ListFileDecode DecodeLogical(std::string_view logical, CallList& list) {
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
            // A time that was cut off is no time: no time text rather than 1970.
            record.hasTime = !in.atEnd;
        }
        if (version >= 4)
            record.cipValue = in.Int();
        const bool whole = !in.atEnd;
        list.append(std::move(record));
        ++result.added;
        if (!whole)
            break;
    }
    result.canonical = in.canonical;
    return result;
}

} // namespace

ListFileDecode DecodeListFile(std::string_view disk, CallList& list) {
    if (disk.find("\r\n") == std::string_view::npos)
        return DecodeLogical(disk, list);
    return DecodeLogical(StripLineEnds(disk), list);
}

namespace {

// Saving writes every 0x0A as 0x0D 0x0A: bytes with a 0x0A alone did not come from a save.
bool EveryLineFeedAfterCarriageReturn(std::string_view disk) {
    for (size_t lf = disk.find('\n'); lf != std::string_view::npos; lf = disk.find('\n', lf + 1))
        if (lf == 0 || disk[lf - 1] != '\r')
            return false;
    return true;
}

} // namespace

ListFileLoad LoadListFile(CallList& list, const std::string& fileName, KeptFile keep) {
    FileHandle handle;
    FileReadResult file = ReadFileBytes(fileName, MissingFile::Create,
                                        keep == KeptFile::IfSavedAlike ? &handle : nullptr);
    ListFileLoad load;
    load.opened = file.opened;
    load.error = std::move(file.error);
    load.fileSize = file.bytes.size();
    if (!file.opened)
        return load;
    const bool savedAlike = keep == KeptFile::IfSavedAlike && list.empty() &&
                            EveryLineFeedAfterCarriageReturn(file.bytes);
    StripLineEndsInPlace(file.bytes);
    load.decoded = DecodeLogical(file.bytes, list);
    if (savedAlike && load.decoded.version == ListFileVersion && load.decoded.complete &&
        load.decoded.canonical)
        load.savedAlike = std::move(handle);
    return load;
}

bool LoadExistingListFile(CallList& list, const std::string& fileName, std::string& error) {
    FileReadResult file = ReadFileBytes(fileName, MissingFile::Fail);
    if (!file.opened) {
        error = file.error;
        return false;
    }
    StripLineEndsInPlace(file.bytes);
    DecodeLogical(file.bytes, list);
    return true;
}

bool SaveListFile(const CallList& list, const std::string& fileName) {
    // Encoded and written a piece at a time: a history of a million calls is never put
    // together in memory, which would cost as much as writing it.
    constexpr size_t PieceSize = 1 << 20;
    AtomicFileReplacement file(fileName);
    std::string piece;
    piece.reserve(PieceSize + 4096);
    AppendInt(piece, ListFileVersion);
    for (const CallRecord& record : list) {
        AppendRecordBytes(piece, record);
        if (piece.size() >= PieceSize) {
            if (!file.Write(piece))
                return false;
            piece.clear();
        }
    }
    file.Write(piece);
    return file.Commit();
}
