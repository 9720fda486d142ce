#pragma once
// ResolveCall for a whole history: a history repeats the same few numbers many times, so each
// distinct call is resolved once, and through indexes of the directories.

#include "data/ResolvedCall.h"

#include <string>
#include <unordered_map>

class ResolvedCallCache {
public:
    // The lists must stay as they are while the cache is used.
    ResolvedCallCache(const Directory& msnList, const Directory& phoneBook,
                      const AreaCodeTable& areaCodes)
        : msnList(msnList), phoneBook(phoneBook), areaCodes(areaCodes) {}

    const ResolvedCall& Resolve(const CallRecord& record);

private:
    const DirectoryIndex msnList;
    const DirectoryIndex phoneBook;
    const AreaCodeTable& areaCodes;
    std::unordered_map<std::string, ResolvedCall> resolved;
};
