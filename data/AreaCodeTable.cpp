#include "data/AreaCodeTable.h"

#include "data/ListFile.h"
#include "platform/FileBytes.h"

#include <algorithm>
#include <string_view>

namespace {

// Lines are taken in pieces of at most this many characters, so a longer line counts as several.
constexpr size_t PieceLength = 1023;

} // namespace

AreaCodeTable::AreaCodeTable(const AreaCodeTable& other) {
    *this = other;
}

AreaCodeTable& AreaCodeTable::operator=(const AreaCodeTable& other) {
    if (this == &other)
        return *this;
    ClearAreaCodes();
    for (const AreaCodeEntry& entry : other.entries) {
        entries.push_back(entry);
        IndexEntry(entries.back());
    }
    return *this;
}

void AreaCodeTable::LoadAreaCodes(const std::string& fileName) {
    FileReadResult file = ReadFileBytes(fileName, MissingFile::Create);
    if (file.opened)
        AddAreaCodes(file.bytes);
}

void AreaCodeTable::AddAreaCodes(std::string_view fileBytes) {
    // The file is text: a carriage return before a line feed is not part of the line.
    const std::string text = StripLineEnds(fileBytes);
    const std::string_view rest(text);
    size_t pos = 0;
    while (pos < rest.size()) {
        const size_t available = rest.size() - pos;
        const size_t lf = rest.find('\n', pos);
        std::string_view piece;
        if (lf != std::string_view::npos && lf - pos < PieceLength) {
            piece = rest.substr(pos, lf - pos);
            pos = lf + 1;
        } else if (available >= PieceLength) {
            // A full piece stops before the line feed, which then begins the next piece.
            piece = rest.substr(pos, PieceLength);
            pos += PieceLength;
        } else {
            // The file ended inside this piece: a last line without a line feed is not used.
            break;
        }
        // The line is a zero-terminated text: a zero byte ends it.
        piece = piece.substr(0, piece.find('\0'));
        const size_t tab = piece.find('\t');
        if (tab == std::string_view::npos)
            continue;
        entries.push_back(
            AreaCodeEntry{std::string(piece.substr(0, tab)), std::string(piece.substr(tab + 1))});
        IndexEntry(entries.back());
    }
}

void AreaCodeTable::IndexEntry(const AreaCodeEntry& entry) {
    const std::string_view code(entry.areaCode);
    // A code seen before keeps its earlier entry.
    if (!firstByCode.try_emplace(code, FirstEntry{entries.size() - 1, &entry}).second)
        return;
    const auto at = std::lower_bound(codeLengths.begin(), codeLengths.end(), code.size());
    if (at == codeLengths.end() || *at != code.size())
        codeLengths.insert(at, code.size());
}

const AreaCodeEntry* AreaCodeTable::FindAreaCode(const std::string& number) const {
    // Every code that begins the number is one of its prefixes; the earliest in the file wins,
    // whatever its length.
    const FirstEntry* best = nullptr;
    for (const size_t length : codeLengths) {
        if (length > number.size())
            break;
        const auto found = firstByCode.find(std::string_view(number).substr(0, length));
        if (found != firstByCode.end() && (!best || found->second.position < best->position))
            best = &found->second;
    }
    return best ? best->entry : nullptr;
}

void AreaCodeTable::ClearAreaCodes() {
    firstByCode.clear();
    codeLengths.clear();
    entries.clear();
}
