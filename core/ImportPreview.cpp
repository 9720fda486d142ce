#include "core/ImportPreview.h"

#include <QString>

#include "data/ControlBytes.h"
#include "data/CsvContacts.h"
#include "data/DirectoryIndex.h"
#include "data/TextCharset.h"
#include "data/VCardContacts.h"
#include "platform/FileBytes.h"

#include <unordered_map>

ContactFile ReadContactFile(const std::string& path) {
    ContactFile file;
    file.path = path;
    FileReadResult read = ReadFileBytes(path, MissingFile::Fail);
    if (!read.opened) {
        file.error = read.error.empty() ? "cannot be read" : read.error;
        return file;
    }
    if (!AddressBookText(read.bytes, file.error))
        return file;
    file.contacts =
        LooksLikeVCard(read.bytes) ? ParseVCards(read.bytes) : ParseCsvContacts(read.bytes);
    return file;
}

namespace {

std::string Where(const std::string& path, size_t line) {
    return line == 0 ? path : path + ":" + std::to_string(line);
}

} // namespace

namespace {

// Names are stored as 8-bit text; the preview is read on a UTF-8 terminal or in a window. An
// address book may hold anything, and a terminal takes control bytes as commands.
std::string Shown(const std::string& stored) {
    return StoredTextToUtf8(ReplaceControlBytes(stored));
}

// Characters as UTF-8, for a message.
std::string CharactersAsUtf8(const std::u32string& characters) {
    return QString::fromUcs4(characters.data(), qsizetype(characters.size())).toStdString();
}

} // namespace

ImportPreview BuildImportPreview(const std::vector<ContactFile>& files, const Directory& phoneBook,
                                 const NumberNormaliser& normalise,
                                 const ImportProgress& progress) {
    ImportPreview preview;
    size_t total = 0;
    for (const ContactFile& file : files)
        total += file.contacts.numbers.size();
    size_t done = 0;
    // One lookup per number, not a walk through the phone book for each.
    const DirectoryIndex index(phoneBook);
    std::unordered_map<std::string, std::string> firstName; // number -> name first found with
    firstName.reserve(total);
    for (const ContactFile& file : files) {
        if (!file.error.empty()) {
            preview.unreadable.push_back(
                file.error.starts_with(file.path) ? file.error : file.path + ": " + file.error);
            continue;
        }
        for (const ContactProblem& problem : file.contacts.problems)
            preview.unreadable.push_back(Where(file.path, problem.line) + ": " + problem.text);
        for (const ContactNumber& contact : file.contacts.numbers) {
            if (progress && done % ImportProgressStep == 0 && !progress(done, total)) {
                preview.cancelled = true;
                return preview;
            }
            ++done;
            ImportEntry entry;
            entry.written = contact.number;
            std::u32string replaced;
            entry.name = ToStoredText(contact.name, &replaced);
            entry.where = Where(file.path, contact.line);
            if (!replaced.empty())
                preview.changedNames.push_back(
                    entry.where + ": \"" + ReplaceControlBytes(contact.name) +
                    "\" is stored as \"" + Shown(entry.name) + "\": the phone book cannot hold " +
                    CharactersAsUtf8(replaced));
            const LineNumber number = normalise(contact.number);
            if (number.number.empty()) {
                preview.unreadable.push_back(entry.where + ": " + number.error + ": " +
                                             ReplaceControlBytes(contact.number));
                continue;
            }
            entry.number = number.number;
            if (auto first = firstName.find(entry.number); first != firstName.end()) {
                preview.duplicates.push_back({std::move(entry), first->second});
                continue;
            }
            firstName.emplace(entry.number, entry.name);
            if (const DirectoryEntry* stored = index.findByKey(entry.number))
                preview.alreadyThere.push_back({std::move(entry), TextOf(stored->value)});
            else
                preview.added.push_back(std::move(entry));
        }
    }
    if (progress)
        progress(done, total);
    return preview;
}

std::string ImportPreviewText(const ImportPreview& preview) {
    std::string text;
    text += std::to_string(preview.added.size()) + " to add, " +
            std::to_string(preview.alreadyThere.size()) + " already there, " +
            std::to_string(preview.duplicates.size()) +
            (preview.duplicates.size() == 1 ? " duplicate, " : " duplicates, ") +
            std::to_string(preview.unreadable.size()) + " unreadable\n";
    if (!preview.added.empty()) {
        text += "\nTo add:\n";
        for (const ImportEntry& entry : preview.added)
            text += "  " + entry.number + "\t" + Shown(entry.name) + "\t(" + entry.where + ")\n";
    }
    if (!preview.alreadyThere.empty()) {
        text += "\nAlready there (kept as they are):\n";
        for (const ImportKept& kept : preview.alreadyThere)
            text += "  " + kept.entry.number + "\t" + Shown(kept.storedName) +
                    "\t(file: " + Shown(kept.entry.name) + ", " + kept.entry.where + ")\n";
    }
    if (!preview.duplicates.empty()) {
        text += "\nDuplicates (taken once):\n";
        for (const ImportDuplicate& duplicate : preview.duplicates)
            text += "  " + duplicate.entry.number + "\t" + Shown(duplicate.entry.name) + "\t(" +
                    duplicate.entry.where + "; first as " + Shown(duplicate.firstName) + ")\n";
    }
    if (!preview.changedNames.empty()) {
        text += "\nNames changed (characters the phone book cannot hold become ?):\n";
        for (const std::string& line : preview.changedNames)
            text += "  " + line + "\n";
    }
    if (!preview.unreadable.empty()) {
        text += "\nUnreadable:\n";
        for (const std::string& line : preview.unreadable)
            text += "  " + line + "\n";
    }
    return text;
}

void ApplyImport(const ImportPreview& preview, Directory& phoneBook) {
    // Checked again: the phone book may have changed since the preview was made. The entries
    // to add are of distinct numbers, so the phone book as it was before is all that is asked.
    const DirectoryIndex index(phoneBook);
    for (const ImportEntry& entry : preview.added) {
        if (index.findByKey(entry.number) != nullptr)
            continue;
        DirectoryEntry record;
        record.key = entry.number;
        record.value = entry.name;
        record.speakText = std::string();
        phoneBook.append(std::move(record));
    }
}
