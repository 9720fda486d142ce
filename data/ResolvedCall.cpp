#include "data/ResolvedCall.h"

#include "data/CipServiceNames.h"

#include <algorithm>

namespace {

// The name a directory entry is announced by: its speak text when there is one.
std::string SpokenName(const DirectoryEntry& entry) {
    if (!entry.speakText.view().empty())
        return *entry.speakText;
    return TextOf(entry.value);
}

// Directories are Directory or DirectoryIndex: the same lookups either way.
template <typename Directories>
ResolvedCall Resolve(const OptText& calledNumber, const OptText& callingNumber, int cipValue,
                     const Directories& msnList, const Directories& phoneBook,
                     const AreaCodeTable* areaCodes) {
    ResolvedCall call;
    call.service = CipServiceName(cipValue);
    if (calledNumber) {
        call.calledNumber = *calledNumber;
        if (const DirectoryEntry* msn = msnList.findByKey(*calledNumber)) {
            call.msnKnown = true;
            call.msnName = TextOf(msn->value);
            call.msnSpokenName = SpokenName(*msn);
        }
    }
    if (!callingNumber || callingNumber->empty()) {
        call.callerKind = CallerKind::Absent;
    } else {
        call.callingNumber = *callingNumber;
        call.callerKind = *callingNumber == "0"   ? CallerKind::Withheld
                          : *callingNumber == "*" ? CallerKind::IsdnUnknown
                                                  : CallerKind::Number;
    }
    if (callingNumber) {
        if (const DirectoryEntry* entry = phoneBook.findByKey(*callingNumber)) {
            call.callerName = TextOf(entry->value);
            call.callerSpokenName = SpokenName(*entry);
        }
        const AreaCodeEntry* area = areaCodes ? areaCodes->FindAreaCode(*callingNumber) : nullptr;
        if (area) {
            call.areaCodeFound = true;
            call.areaCodeLength = std::min(area->areaCode.size(), callingNumber->size());
            call.placeName = area->placeName;
        }
    }
    return call;
}

} // namespace

ResolvedCall ResolveCall(const OptText& calledNumber, const OptText& callingNumber, int cipValue,
                         const Directory& msnList, const Directory& phoneBook,
                         const AreaCodeTable& areaCodes) {
    return Resolve(calledNumber, callingNumber, cipValue, msnList, phoneBook, &areaCodes);
}

ResolvedCall ResolveCall(const OptText& calledNumber, const OptText& callingNumber, int cipValue,
                         const Directory& msnList, const Directory& phoneBook) {
    return Resolve(calledNumber, callingNumber, cipValue, msnList, phoneBook, nullptr);
}

ResolvedCall ResolveCall(const CallRecord& call, const DirectoryIndex& msnList,
                         const DirectoryIndex& phoneBook, const AreaCodeTable& areaCodes) {
    return Resolve(call.key, call.value, call.cipValue, msnList, phoneBook, &areaCodes);
}

std::string SplitNumber(const ResolvedCall& call) {
    if (!call.areaCodeFound)
        return call.callingNumber;
    const size_t n = call.areaCodeLength;
    return call.callingNumber.substr(0, n) + "/" + call.callingNumber.substr(n);
}
