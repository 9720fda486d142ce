#include "data/DirectoryIndex.h"

namespace {

std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

} // namespace

DirectoryIndex::DirectoryIndex(const Directory& directory) {
    entries.reserve(directory.size());
    for (const DirectoryEntry& entry : directory)
        if (entry.key)
            entries.insert_or_assign(FoldAscii(entry.key.view()), &entry);
}

const DirectoryEntry* DirectoryIndex::findByKey(std::string_view key) const {
    const auto found = entries.find(FoldAscii(key));
    return found == entries.end() ? nullptr : found->second;
}
