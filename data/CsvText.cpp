#include "data/CsvText.h"

char GuessCsvSeparator(std::string_view text) {
    size_t commas = 0;
    size_t semicolons = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

CsvTable ParseCsv(std::string_view text, char separator) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    CsvTable table;
    CsvRecord record;
    std::string field;
    bool quoted = false;
    bool fieldStarted = false; // something of the current record was read
    size_t line = 1;
    size_t quoteLine = 0;
    record.line = 1;
    auto endField = [&] {
        record.fields.push_back(std::move(field));
        field.clear();
    };
    auto endRecord = [&] {
        if (fieldStarted || !record.fields.empty()) {
            endField();
            table.records.push_back(std::move(record));
        }
        record = CsvRecord{};
        record.line = line;
        fieldStarted = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == '"' && field.empty()) {
            quoted = true;
            quoteLine = line;
            fieldStarted = true;
        } else if (c == separator) {
            endField();
            fieldStarted = true;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue; // the LF ends the record
        } else if (c == '\n') {
            ++line;
            endRecord();
        } else {
            // A quote inside an unquoted field is taken as it is, as most exporters mean it.
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted)
        table.unterminatedQuoteLine = quoteLine;
    endRecord();
    return table;
}

std::string CsvField(std::string_view text, char separator) {
    if (text.find_first_of(std::string{'"', '\r', '\n', separator}) == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string SpreadsheetSafeText(std::string_view text) {
    if (text.empty() || std::string_view("=+-@\t\r").find(text.front()) == std::string_view::npos)
        return std::string(text);
    return "'" + std::string(text);
}

std::string CsvTextField(std::string_view text, char separator) {
    return CsvField(SpreadsheetSafeText(text), separator);
}
