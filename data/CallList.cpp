#include "data/CallList.h"

#include <iterator>
#include <utility>

namespace {

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

CallRecord* CallList::append(const CallRecord& record) {
    records.push_back(record);
    return &records.back();
}

CallRecord* CallList::append(CallRecord&& record) {
    records.push_back(std::move(record));
    return &records.back();
}

CallRecord* CallList::at(size_t position) {
    if (position >= records.size())
        return nullptr;
    return &*std::next(records.begin(), static_cast<std::ptrdiff_t>(position));
}

void CallList::assign(const CallList& other) {
    // Copying a list onto itself would first clear the very records it is about to copy.
    if (&other == this)
        return;
    Records copy(other.records);
    records.swap(copy);
}

const CallRecord* CallList::findByKey(const std::string& key) const {
    // The last match in list order wins, so the walk starts at the end.
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->key && EqualIgnoringAsciiCase(*it->key, key))
            return &*it;
    }
    return nullptr;
}

CallRecord* CallList::findByKey(const std::string& key) {
    return const_cast<CallRecord*>(std::as_const(*this).findByKey(key));
}

CallRecord* CallList::findRepeat(uint32_t connectionId, std::time_t now) {
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->connectionId == connectionId &&
            std::difftime(now, static_cast<std::time_t>(it->callTime)) < 5.0)
            return &*it;
    }
    return nullptr;
}

void CallList::remove(const CallRecord* record) {
    for (auto it = records.begin(); it != records.end(); ++it) {
        if (&*it == record) {
            records.erase(it);
            return;
        }
    }
}

void CallList::clear() {
    records.clear();
}

std::mutex& ListsMutex() {
    static std::mutex mutex;
    return mutex;
}
