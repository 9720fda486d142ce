#pragma once
// Address books exported as CSV: a header line names a name column and one or more number
// columns; comma or semicolon separated; quoted fields as RFC 4180 has them.
//
// The name column is one headed "Name", "Full Name", "Display Name" or "FN" (or another header
// holding "name" that is not a part of a name), else first and last name columns are joined.
// Number columns are those whose header speaks of a phone, a mobile, a fax or a number, except
// type and label columns. One field may hold several numbers separated by " ::: ".

#include "data/ContactNumbers.h"

#include <string>
#include <string_view>
#include <vector>

struct CsvColumns {
    int name = -1;              // the full-name column, or -1
    std::vector<int> nameParts; // first, middle and last name columns when there is none
    std::vector<int> numbers;   // the number columns, in header order
};

// Which columns of a header hold names and numbers.
CsvColumns FindCsvColumns(const std::vector<std::string>& header);

ContactNumbers ParseCsvContacts(std::string_view text);
