#include "data/CsvContacts.h"

#include "data/CsvText.h"
#include "platform/Text.h"

#include <cctype>

namespace {

std::string Lower(std::string_view text) {
    std::string lower;
    for (char c : text)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}


bool Holds(const std::string& text, std::initializer_list<const char*> words) {
    for (const char* word : words)
        if (text.find(word) != std::string::npos)
            return true;
    return false;
}

// Headers that name only a part of a person's name, or something else called a name.
bool IsNamePart(const std::string& header) {
    return Holds(header, {"first", "given", "last", "family", "middle", "nick", "sur", "vor",
                          "nach", "phonetic", "file", "user", "company", "org", "prefix", "suffix",
                          "maiden", "mail"});
}

int NamePartOrder(const std::string& header) {
    if (Holds(header, {"first", "given", "vorname"}))
        return 0;
    if (Holds(header, {"middle", "additional"}))
        return 1;
    if (Holds(header, {"last", "family", "surname", "nachname"}))
        return 2;
    return -1;
}

bool IsNumberColumn(const std::string& header) {
    if (Holds(header, {"type", "label", "typ", "art"}))
        return false;
    return Holds(header,
                 {"phone", "tel", "mobil", "cell", "fax", "number", "nummer", "handy", "pager"});
}

std::string FieldAt(const CsvRecord& record, int column) {
    if (column < 0 || size_t(column) >= record.fields.size())
        return std::string();
    return std::string(Trim(record.fields[size_t(column)]));
}

// Names stay on one line.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    return text;
}

std::string NameOf(const CsvRecord& record, const CsvColumns& columns) {
    if (columns.name >= 0)
        return OneLine(FieldAt(record, columns.name));
    std::string name;
    for (int column : columns.nameParts) {
        const std::string part = FieldAt(record, column);
        if (part.empty())
            continue;
        if (!name.empty())
            name += ' ';
        name += part;
    }
    return OneLine(name);
}

} // namespace

CsvColumns FindCsvColumns(const std::vector<std::string>& header) {
    CsvColumns columns;
    int looseName = -1;
    int parts[3] = {-1, -1, -1};
    for (size_t i = 0; i < header.size(); ++i) {
        const std::string text = Lower(std::string(Trim(header[i])));
        const int column = int(i);
        if (text == "name" || text == "full name" || text == "display name" || text == "fn" ||
            text == "formatted name" || text == "anzeigename") {
            if (columns.name < 0)
                columns.name = column;
        } else if (IsNumberColumn(text)) {
            columns.numbers.push_back(column);
        } else if (text.find("name") != std::string::npos && !IsNamePart(text)) {
            if (looseName < 0)
                looseName = column;
        } else if (const int order = NamePartOrder(text); order >= 0 && parts[order] < 0) {
            parts[order] = column;
        }
    }
    if (columns.name < 0)
        columns.name = looseName;
    if (columns.name < 0)
        for (int part : parts)
            if (part >= 0)
                columns.nameParts.push_back(part);
    return columns;
}

ContactNumbers ParseCsvContacts(std::string_view text) {
    ContactNumbers result;
    const CsvTable table = ParseCsv(text, GuessCsvSeparator(text));
    if (table.records.empty()) {
        result.problems.push_back({0, "an empty file"});
        return result;
    }
    const CsvColumns columns = FindCsvColumns(table.records[0].fields);
    if (columns.name < 0 && columns.nameParts.empty()) {
        result.problems.push_back({table.records[0].line, "the header names no name column"});
        return result;
    }
    if (columns.numbers.empty()) {
        result.problems.push_back({table.records[0].line, "the header names no number column"});
        return result;
    }
    size_t usable = table.records.size();
    if (table.unterminatedQuoteLine != 0) {
        // Everything after the open quote was swallowed into one field: that record is not
        // what the file meant.
        result.problems.push_back(
            {table.unterminatedQuoteLine, "a quoted field that never ends; the rest is not read"});
        --usable;
    }
    for (size_t r = 1; r < usable; ++r) {
        const CsvRecord& record = table.records[r];
        const std::string name = NameOf(record, columns);
        std::vector<std::string> numbers;
        for (int column : columns.numbers) {
            std::string field = FieldAt(record, column);
            size_t start = 0;
            while (start <= field.size()) {
                size_t end = field.find(":::", start);
                const std::string number(Trim(std::string_view(field).substr(
                    start, end == std::string::npos ? std::string::npos : end - start)));
                if (!number.empty())
                    numbers.push_back(number);
                if (end == std::string::npos)
                    break;
                start = end + 3;
            }
        }
        if (numbers.empty())
            continue; // a contact without numbers has nothing for the phone book
        if (name.empty()) {
            result.problems.push_back({record.line, "numbers without a name"});
            continue;
        }
        for (std::string& number : numbers)
            result.numbers.push_back({name, OneLine(std::move(number)), record.line});
    }
    return result;
}
