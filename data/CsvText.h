#pragma once
// Comma- or semicolon-separated text as RFC 4180 writes it: fields in double quotes may hold the
// separator, line breaks and doubled quotes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct CsvRecord {
    std::vector<std::string> fields;
    size_t line = 0; // the line the record starts on, counted from 1
};

struct CsvTable {
    std::vector<CsvRecord> records;
    size_t unterminatedQuoteLine = 0; // nonzero: a quoted field opened there never closed
};

// The separator of the first record: ';' when it has more semicolons than commas outside quotes,
// else ','.
char GuessCsvSeparator(std::string_view text);

// Every record; lines end in CR LF or LF, and empty lines are skipped.
CsvTable ParseCsv(std::string_view text, char separator);

// One field as RFC 4180 writes it: quoted when it holds the separator, a quote, CR or LF.
std::string CsvField(std::string_view text, char separator = ',');

// A text cell for a file that spreadsheets open: one that begins with '=', '+', '-', '@', a tab
// or a CR would be taken as a formula (and run), so it gets a leading "'", as spreadsheet-safe
// CSV writers do. Every text cell goes through the same rule, numbers such as "+4930..."
// included: one rule for the whole file is what a reader of it can rely on.
std::string SpreadsheetSafeText(std::string_view text);

// CsvField of SpreadsheetSafeText.
std::string CsvTextField(std::string_view text, char separator = ',');
