#include "data/VCardContacts.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

bool IsQuotedPrintable(std::string_view nameAndParams) {
    const std::string upper = Upper(nameAndParams);
    return upper.find("QUOTED-PRINTABLE") != std::string::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view value) {
    std::string decoded;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '=' && i + 2 < value.size()) {
            const int high = HexValue(value[i + 1]);
            const int low = HexValue(value[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += value[i];
    }
    return decoded;
}

// Splits at `separator` where it is not escaped by a backslash, keeping the escapes.
std::vector<std::string_view> SplitUnescaped(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Names stay on one line: line breaks and runs of blanks become one blank.
std::string OneLine(std::string_view text) {
    std::string line;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank) {
            if (!line.empty() && line.back() != ' ')
                line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// N is family;given;additional;prefixes;suffixes: shown as "prefixes given additional family
// suffixes".
std::string NameFromN(std::string_view value) {
    std::vector<std::string_view> parts = SplitUnescaped(value, ';');
    parts.resize(5);
    std::string name;
    for (int index : {3, 1, 2, 0, 4}) {
        const std::string part = OneLine(UnescapeVCardText(parts[size_t(index)]));
        if (part.empty())
            continue;
        if (!name.empty())
            name += ' ';
        name += part;
    }
    return name;
}

// A vCard 4.0 TEL may be a URI: "tel:+49-30-1234567;ext=12".
std::string NumberFromTel(std::string_view value) {
    std::string number = OneLine(UnescapeVCardText(value));
    if (number.size() >= 4 && EqualsNoCase(std::string_view(number).substr(0, 4), "tel:")) {
        number.erase(0, 4);
        number = number.substr(0, number.find(';'));
    }
    return number;
}

struct Card {
    size_t beginLine = 0;
    std::optional<std::string> fn;
    std::optional<std::string> n;
    std::optional<std::string> org;
    std::vector<ContactNumber> tels;
};

void FinishCard(Card& card, ContactNumbers& result) {
    std::string name;
    if (card.fn && !card.fn->empty())
        name = *card.fn;
    else if (card.n && !card.n->empty())
        name = *card.n;
    else if (card.org && !card.org->empty())
        name = *card.org;
    if (card.tels.empty())
        return; // a card without numbers has nothing for the phone book
    if (name.empty()) {
        result.problems.push_back(
            {card.beginLine, "a card with numbers but without a name (FN, N or ORG)"});
        return;
    }
    for (ContactNumber& tel : card.tels) {
        tel.name = name;
        result.numbers.push_back(std::move(tel));
    }
}

// Reads the file a physical line at a time, holding one logical line and one card: a file of
// millions of lines costs its results, not a copy of every line, and each byte is looked at a
// bounded number of times.
class CardReader {
public:
    void PhysicalLine(std::string_view line, size_t number) {
        if (started && softBreak) {
            Append(line); // a soft break keeps every character
        } else if (started && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            Append(line.substr(1));
        } else {
            EndLogicalLine();
            started = true;
            logicalLine = number;
            Append(line);
        }
        // The head (before the first colon) says whether soft breaks apply; it is looked at once.
        softBreak = quotedPrintable && !line.empty() && line.back() == '=';
        if (softBreak && !tooLong && !logical.empty())
            logical.pop_back();
    }

    ContactNumbers Finish() {
        EndLogicalLine();
        if (card) {
            result.problems.push_back({card->beginLine, "a card without END:VCARD"});
            FinishCard(*card, result);
        }
        return std::move(result);
    }

private:
    void Append(std::string_view part) {
        if (tooLong)
            return;
        if (logical.size() + part.size() > MaxVCardLine) {
            tooLong = true;
            logical.clear();
            logical.shrink_to_fit();
            return;
        }
        const size_t from = logical.size();
        logical.append(part);
        if (colon == std::string::npos) {
            colon = logical.find(':', from);
            if (colon != std::string::npos) {
                const std::string_view head = std::string_view(logical).substr(0, colon);
                quotedPrintable = IsQuotedPrintable(head.substr(std::min(head.find(';'), colon)));
            }
        }
    }

    void EndLogicalLine() {
        if (!started)
            return;
        if (tooLong)
            result.problems.push_back({logicalLine, "a line longer than 1 MB; it is not read"});
        else
            Property(logical, logicalLine);
        started = false;
        tooLong = false;
        softBreak = false;
        quotedPrintable = false;
        colon = std::string::npos;
        logical.clear();
    }

    void Property(std::string_view line, size_t lineNumber) {
        if (line.empty())
            return;
        if (colon == std::string::npos) {
            result.problems.push_back({lineNumber, "not a vCard line (no colon)"});
            return;
        }
        std::string_view head = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        std::string_view name = head.substr(0, head.find(';'));
        // "item1.TEL": a group name before the property name.
        if (const size_t dot = name.find('.'); dot != std::string_view::npos)
            name.remove_prefix(dot + 1);
        std::string decoded;
        if (quotedPrintable) {
            decoded = DecodeQuotedPrintable(value);
            value = decoded;
        }
        if (EqualsNoCase(name, "BEGIN") && EqualsNoCase(value, "VCARD")) {
            if (card) {
                result.problems.push_back({card->beginLine, "a card without END:VCARD"});
                FinishCard(*card, result);
            }
            card = Card{};
            card->beginLine = lineNumber;
            return;
        }
        if (!card) {
            result.problems.push_back({lineNumber, "a line outside BEGIN:VCARD and END:VCARD"});
            return;
        }
        if (EqualsNoCase(name, "END") && EqualsNoCase(value, "VCARD")) {
            FinishCard(*card, result);
            card.reset();
        } else if (EqualsNoCase(name, "FN")) {
            card->fn = OneLine(UnescapeVCardText(value));
        } else if (EqualsNoCase(name, "N")) {
            card->n = NameFromN(value);
        } else if (EqualsNoCase(name, "ORG")) {
            card->org = OneLine(UnescapeVCardText(SplitUnescaped(value, ';')[0]));
        } else if (EqualsNoCase(name, "TEL")) {
            std::string number = NumberFromTel(value);
            if (!number.empty())
                card->tels.push_back({std::string(), std::move(number), lineNumber});
        }
    }

    ContactNumbers result;
    std::optional<Card> card;
    std::string logical;    // the logical line read so far
    size_t logicalLine = 0; // where it starts
    size_t colon = std::string::npos;
    bool started = false;
    bool tooLong = false;
    bool quotedPrintable = false;
    bool softBreak = false;
};

} // namespace

bool LooksLikeVCard(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    return text.size() - start >= 11 && EqualsNoCase(text.substr(start, 11), "BEGIN:VCARD");
}

std::string UnescapeVCardText(std::string_view value) {
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const char next = value[++i];
        text += next == 'n' || next == 'N' ? '\n' : next;
    }
    return text;
}

ContactNumbers ParseVCards(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    CardReader reader;
    size_t number = 0;
    while (!text.empty()) {
        const size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        reader.PhysicalLine(line, ++number);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
    }
    return reader.Finish();
}
