// Any bytes as a vCard address book: the parser must stay inside the data, every number it
// gives must come from a line of the file, and no line it keeps can exceed the limit.
#include "data/TextCharset.h"
#include "data/VCardContacts.h"

#include <algorithm>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t lines = size_t(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    const ContactNumbers contacts = ParseVCards(bytes);
    for (const ContactNumber& number : contacts.numbers)
        if (number.line == 0 || number.line > lines || number.number.empty() ||
            number.name.empty() || number.number.size() > MaxVCardLine)
            std::abort();
    for (const ContactProblem& problem : contacts.problems)
        if (problem.line > lines)
            std::abort();
    // What an import does first: make the bytes text.
    std::string error;
    if (AddressBookText(bytes, error))
        ParseVCards(bytes);
    return 0;
}
