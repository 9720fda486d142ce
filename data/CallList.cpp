#include "CallList.h"

#include "FileBytes.h"
#include "ListFile.h"

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
    inFile.reset();
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

CallRecord* CallList::findRepeat(const IncomingCallNotice& notice, std::time_t now) {
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->connectionId == notice.connectionId &&
            std::difftime(now, static_cast<std::time_t>(it->callTime)) < 5.0)
            return &*it;
    }
    return nullptr;
}

void CallList::remove(const CallRecord* record) {
    for (auto it = records.begin(); it != records.end(); ++it) {
        if (&*it == record) {
            records.erase(it);
            inFile.reset();
            return;
        }
    }
}

void CallList::clear() {
    records.clear();
}

bool CallList::save(const std::string& fileName) const {
    inFile.reset();
    if (!ReplaceFileAtomically(fileName, EncodeListFile(*this)))
        return false;
    if (auto identity = IdentifyFile(fileName))
        inFile =
            FileState{fileName, records.size(), identity->device, identity->inode, identity->size};
    return true;
}

bool CallList::appendSave(const std::string& fileName) {
    if (!inFile || inFile->fileName != fileName || records.size() != inFile->records + 1)
        return save(fileName);
    std::string bytes;
    AppendRecordBytes(bytes, records.back());
    const FileIdentity expected{inFile->device, inFile->inode, inFile->size};
    const auto written = AppendToFile(fileName, expected, bytes);
    if (!written) {
        // Changed behind our back, or the write failed and was undone: write it whole.
        return save(fileName);
    }
    inFile->records = records.size();
    inFile->size = written->size;
    return true;
}

void CallList::loadBytes(const std::string& fileName, const std::string& bytes,
                         const std::optional<FileIdentity>& identity) {
    const bool wasEmpty = records.empty();
    const ListFileDecode decoded = DecodeListFile(bytes, *this);
    inFile.reset();
    // Only a whole version-4 file that is all of this list can take appended records.
    if (wasEmpty && decoded.complete && decoded.version == ListFileVersion && identity &&
        identity->size == bytes.size())
        inFile =
            FileState{fileName, records.size(), identity->device, identity->inode, identity->size};
}

void CallList::load(const std::string& fileName) {
    FileReadResult file = ReadFileBytes(fileName, MissingFile::Create);
    if (file.opened)
        loadBytes(fileName, file.bytes, IdentifyFile(fileName));
}

bool CallList::loadExisting(const std::string& fileName, std::string& error) {
    FileReadResult file = ReadFileBytes(fileName, MissingFile::Fail);
    if (!file.opened) {
        error = file.error;
        return false;
    }
    loadBytes(fileName, file.bytes, IdentifyFile(fileName));
    return true;
}

std::mutex& ListsMutex() {
    static std::mutex mutex;
    return mutex;
}
