#pragma once
// The entries of a directory by number, for the many lookups of a whole history (search,
// export): one hash lookup instead of a walk through the phone book per call. It finds what
// findByKey finds (ASCII letters in either case, the last entry wins, an absent key never) as
// long as the directory stays as it is.

#include "data/CallList.h"

#include <string>
#include <string_view>
#include <unordered_map>

class DirectoryIndex {
public:
    explicit DirectoryIndex(const Directory& directory);

    const DirectoryEntry* findByKey(std::string_view key) const;

private:
    std::unordered_map<std::string, const DirectoryEntry*> entries;
};
