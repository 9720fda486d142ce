// Any bytes as a CSV address book: the parser must stay inside the data, and a table written
// back field by field must read as the same table.
#include "data/CsvContacts.h"
#include "data/CsvText.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ParseCsvContacts(bytes);
    const char separator = GuessCsvSeparator(bytes);
    const CsvTable table = ParseCsv(bytes, separator);
    if (table.unterminatedQuoteLine != 0)
        return 0;
    // A second byte order mark after the first is the first field's text, but written at the
    // start it would be read as the mark again.
    if (!table.records.empty() && !table.records[0].fields.empty() &&
        table.records[0].fields[0].starts_with("\xEF\xBB\xBF"))
        return 0;
    std::string written;
    for (const CsvRecord& record : table.records) {
        for (size_t i = 0; i < record.fields.size(); ++i) {
            if (i > 0)
                written += separator;
            written += CsvField(record.fields[i], separator);
        }
        written += "\r\n";
    }
    const CsvTable again = ParseCsv(written, separator);
    // Records whose fields are all empty are not written as anything that reads back: an empty
    // line is skipped. Every other record must come back as it was.
    size_t j = 0;
    for (const CsvRecord& record : table.records) {
        if (record.fields.size() == 1 && record.fields[0].empty())
            continue;
        if (j >= again.records.size() || again.records[j].fields != record.fields)
            std::abort();
        ++j;
    }
    return 0;
}
