#include "data/AreaCodeTable.h"

#include "data/ListFile.h"
#include "platform/FileBytes.h"

#include <string_view>

namespace {

// Lines are taken in pieces of at most this many characters, so a longer line counts as several.
constexpr size_t PieceLength = 1023;

} // namespace

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
    }
}

const AreaCodeEntry* AreaCodeTable::FindAreaCode(const std::string& number) const {
    for (const AreaCodeEntry& entry : entries) {
        if (std::string_view(number).starts_with(entry.areaCode))
            return &entry;
    }
    return nullptr;
}

void AreaCodeTable::ClearAreaCodes() {
    entries.clear();
}
