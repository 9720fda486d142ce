#include "core/ResolvedCallCache.h"

namespace {

// An absent text and an empty one resolve differently, so the key tells them apart.
void AppendKeyPart(std::string& key, const OptText& text) {
    if (text) {
        key += '+';
        key += *text;
    } else {
        key += '-';
    }
    key += '\0';
}

} // namespace

const ResolvedCall& ResolvedCallCache::Resolve(const CallRecord& record) {
    std::string key;
    AppendKeyPart(key, record.key);
    AppendKeyPart(key, record.value);
    key += std::to_string(record.cipValue);
    auto found = resolved.find(key);
    if (found != resolved.end())
        return found->second;
    return resolved.emplace(std::move(key), ResolveCall(record, msnList, phoneBook, areaCodes))
        .first->second;
}
