#include "data/ListFile.h"

#include "platform/FileBytes.h"

#include <cstring>
#include <filesystem>
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

// Each 0x0D 0x0A of data[0, size) becomes 0x0A, in place; the new size.
size_t StripLineEndsInPlace(char* data, size_t size) {
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
    return write;
}

// The logical bytes of a file, read a piece at a time, so that a history of tens of megabytes
// never sits in memory whole: each 0x0D 0x0A becomes 0x0A, a pair split between two pieces too.
// It also notes a 0x0A without a 0x0D before it, which saving never writes.
class DiskSource {
public:
    explicit DiskSource(const FileHandle& file) : file(file) {}

    // Appends the next piece's logical bytes to `logical`; false at the end of the file.
    bool Append(std::string& logical) {
        const size_t start = logical.size();
        const size_t carried = carriedReturn ? 1 : 0;
        logical.resize(start + carried + ListFileLoadPiece);
        char* const out = logical.data() + start;
        if (carriedReturn)
            out[0] = '\r';
        const size_t got = ReadSome(file, out + carried, ListFileLoadPiece);
        diskBytes += got;
        size_t size = carried + got;
        carriedReturn = false;
        if (got == 0) {
            logical.resize(start + size);
            return false;
        }
        // A 0x0D at the end may pair with the next piece's first byte. So a 0x0A first in a
        // piece had no 0x0D before it.
        carriedReturn = out[size - 1] == '\r';
        if (carriedReturn)
            --size;
        for (const char* lf = static_cast<const char*>(std::memchr(out, '\n', size));
             lf != nullptr && !lineFeedAlone;
             lf = static_cast<const char*>(std::memchr(lf + 1, '\n', size - (lf + 1 - out))))
            lineFeedAlone = lf == out || lf[-1] != '\r';
        logical.resize(start + StripLineEndsInPlace(out, size));
        return true;
    }

    // Reads to the end, counting the bytes.
    void Drain() {
        std::string rest;
        while (Append(rest))
            rest.clear();
    }

    size_t DiskBytes() const { return diskBytes; }
    bool LineFeedAlone() const { return lineFeedAlone; }

private:
    const FileHandle& file;
    size_t diskBytes = 0;
    bool carriedReturn = false;
    bool lineFeedAlone = false;
};

// Reads the logical stream. `atEnd` turns true once a read tried to go past the end, as with
// a C stream; every later read then fails too.
class Reader {
public:
    // All of the logical stream at once, or what `source` gives piece by piece.
    explicit Reader(std::string_view data) : data(data) {}
    explicit Reader(DiskSource& source) : source(&source) {}

    bool atEnd = false;
    // Every text so far ended in its only zero.
    bool canonical = true;

    // True when the end came at a field boundary with no stray bytes left over.
    bool consumedAll() const { return !cutInside; }

    int32_t Int() {
        if (atEnd || !Have(4)) {
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
        if (length < 0 || !Have(static_cast<size_t>(length))) {
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
    // Whether `n` bytes are left to read, after fetching more from the source as needed.
    bool Have(size_t n) {
        while (data.size() - pos < n && source != nullptr) {
            buffer.erase(0, pos);
            pos = 0;
            if (!source->Append(buffer))
                source = nullptr;
            data = buffer;
        }
        return data.size() - pos >= n;
    }

    std::string_view data;
    size_t pos = 0;
    bool cutInside = false;
    DiskSource* source = nullptr;
    std::string buffer; // what `data` views when there is a source
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
    logical.resize(StripLineEndsInPlace(logical.data(), logical.size()));
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

ListFileDecode Decode(Reader& in, CallList& list) {
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
        ++result.whole;
    }
    result.canonical = in.canonical;
    return result;
}

} // namespace

ListFileDecode DecodeListFile(std::string_view disk, CallList& list) {
    if (disk.find("\r\n") == std::string_view::npos) {
        Reader in(disk);
        return Decode(in, list);
    }
    const std::string logical = StripLineEnds(disk);
    Reader in(logical);
    return Decode(in, list);
}

ListFileLoad LoadListFile(CallList& list, const std::string& fileName, KeptFile keep) {
    ListFileLoad load;
    const bool emptyBefore = list.empty();
    FileHandle file = OpenForReading(fileName, MissingFile::Create, load.error);
    load.opened = static_cast<bool>(file);
    if (!file)
        return load;
    DiskSource source(file);
    Reader in(source);
    load.decoded = Decode(in, list);
    // The rest of a file that could not be read whole still counts for its size.
    source.Drain();
    load.fileSize = source.DiskBytes();
    load.lineEndsAsSaved = !source.LineFeedAlone();
    if (keep == KeptFile::IfSavedAlike && emptyBefore && load.lineEndsAsSaved &&
        load.decoded.version == ListFileVersion && load.decoded.complete && load.decoded.canonical)
        load.savedAlike = std::move(file);
    return load;
}

bool LoadExistingListFile(CallList& list, const std::string& fileName, std::string& error) {
    const FileHandle file = OpenForReading(fileName, MissingFile::Fail, error);
    if (!file)
        return false;
    DiskSource source(file);
    Reader in(source);
    Decode(in, list);
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

bool LoadListFileIfThere(CallList& list, const std::string& fileName, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(fileName, ec))
        return true;
    return LoadExistingListFile(list, fileName, error);
}
