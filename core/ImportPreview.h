#pragma once
// Bringing address books into the phone book in two steps: a preview of what would be added,
// what is there already, which numbers come twice and what cannot be read; then, once the user
// agrees, the new entries appended. Entries already in the phone book stay as they are.

#include "core/PhoneNumbers.h"
#include "data/CallList.h"
#include "data/ContactNumbers.h"

#include <functional>
#include <string>
#include <vector>

struct ContactFile {
    std::string path;
    ContactNumbers contacts;
    std::string error; // the file could not be read at all
};

// Reads a vCard or CSV file, told apart by its content.
ContactFile ReadContactFile(const std::string& path);

struct ImportEntry {
    std::string number;  // as the line delivers it
    std::string name;    // as it will be stored (8-bit, see data/TextCharset.h)
    std::string written; // the number as the file has it
    std::string where;   // "file:line"
};

struct ImportKept {
    ImportEntry entry;
    std::string storedName; // the name the phone book already has for the number
};

struct ImportDuplicate {
    ImportEntry entry;
    std::string firstName; // the name the number was first found with in these files
};

struct ImportPreview {
    std::vector<ImportEntry> added;
    std::vector<ImportKept> alreadyThere;
    std::vector<ImportDuplicate> duplicates;
    std::vector<std::string> unreadable; // "file:line: why"
    // "file:line: ..." for names with characters the phone book cannot hold, stored with '?'.
    std::vector<std::string> changedNames;
    bool cancelled = false; // the progress callback stopped the work: the preview is partial
};

using NumberNormaliser = std::function<LineNumber(const std::string& written)>;

// Told the numbers looked at so far and their total, every ImportProgressStep numbers and at
// the end; returning false stops the work.
using ImportProgress = std::function<bool(size_t done, size_t total)>;
inline constexpr size_t ImportProgressStep = 256;

// Texts from the files are shown with their control bytes replaced (data/ControlBytes.h).
ImportPreview BuildImportPreview(const std::vector<ContactFile>& files, const Directory& phoneBook,
                                 const NumberNormaliser& normalise,
                                 const ImportProgress& progress = {});

// The counts, then every entry of each group on a line of its own; names as UTF-8.
std::string ImportPreviewText(const ImportPreview& preview);

// Appends the entries to be added, as the entry editor makes them (with an empty speak text).
void ApplyImport(const ImportPreview& preview, Directory& phoneBook);
