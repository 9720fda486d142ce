#include "settings/TavoConf.h"

#include "platform/Text.h"

#include <charconv>

namespace {

constexpr std::string_view Blanks = " \t";

// Splits what follows "=" into the value and the trailing comment (with the blanks before it).
// A quoted value ends at its closing quote; an unquoted one at a ";" or "#" after a blank.
void SplitValue(std::string_view rest, std::string& value, std::string& comment) {
    const size_t start = rest.find_first_not_of(Blanks);
    if (start == std::string_view::npos) {
        value.clear();
        comment.clear();
        return;
    }
    if ((rest[start] == ';' || rest[start] == '#') && start > 0) {
        value.clear();
        comment = std::string(rest);
        return;
    }
    if (rest[start] == '"') {
        std::string unquoted;
        size_t i = start + 1;
        for (; i < rest.size() && rest[i] != '"'; ++i) {
            if (rest[i] == '\\' && i + 1 < rest.size())
                ++i;
            unquoted += rest[i];
        }
        if (i < rest.size()) {
            value = unquoted;
            comment = std::string(rest.substr(i + 1));
            return;
        }
        // No closing quote: the text as it stands.
    }
    size_t end = rest.size();
    for (size_t i = start + 1; i < rest.size(); ++i) {
        if ((rest[i] == ';' || rest[i] == '#') && (rest[i - 1] == ' ' || rest[i - 1] == '\t')) {
            end = i;
            break;
        }
    }
    std::string_view body = rest.substr(start, end - start);
    const size_t last = body.find_last_not_of(Blanks);
    body = last == std::string_view::npos ? std::string_view() : body.substr(0, last + 1);
    value = std::string(body);
    comment = std::string(rest.substr(start + body.size()));
}

// A value written so that reading it gives it back: quoted when blanks at its ends, a quote or
// a comment mark would change how it reads.
std::string EncodeValue(std::string_view value, bool quote) {
    quote = quote || (!value.empty() &&
                      (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                       value.back() == '\t' || value.front() == '"'));
    for (size_t i = 1; i < value.size() && !quote; ++i)
        quote =
            (value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t');
    if (!quote)
        return std::string(value);
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// Line ends inside a value would make new lines of the file.
std::string OneLine(std::string_view value) {
    std::string out(value);
    for (char& c : out)
        if (c == '\n' || c == '\r')
            c = ' ';
    return out;
}

// What a key line keeps after its value is blanks and a comment, or anything that followed a
// closing quote (which reading passes over). Unless it is blanks and then ";" or "#", a value
// written before it unquoted would take it in.
bool TakenIntoAnUnquotedValue(std::string_view comment) {
    const size_t start = comment.find_first_not_of(Blanks);
    if (start == std::string_view::npos)
        return false;
    return start == 0 || (comment[start] != ';' && comment[start] != '#');
}

std::string KeyLine(std::string_view key, std::string_view value, std::string_view comment) {
    return std::string(key) + "=" + EncodeValue(OneLine(value), TakenIntoAnUnquotedValue(comment)) +
           std::string(comment);
}

// Lines that are no section, key or comment, by their numbers only: the text may be a password
// typed without its key. A file of nothing else gets a count, not a message as long as itself.
void ReportUnreadable(const std::vector<size_t>& numbers, std::vector<std::string>& problems) {
    constexpr size_t Named = 5;
    for (size_t i = 0; i < numbers.size() && i < Named; ++i)
        problems.push_back("tavo.conf line " + std::to_string(numbers[i]) +
                           ": neither a section, a key=value nor a comment (the line is not "
                           "shown: it may hold a password)");
    if (numbers.size() > Named)
        problems.push_back("tavo.conf: " + std::to_string(numbers.size() - Named) +
                           " more lines like that, the last of them line " +
                           std::to_string(numbers.back()));
}

} // namespace

TavoConf TavoConf::Parse(std::string_view text) {
    TavoConf conf;
    std::string section;
    size_t number = 0;
    std::vector<size_t> unreadable; // line numbers
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        // CR LF ends a line as LF does; so do CR CR LF and the like, which would otherwise
        // lose a CR at every save.
        while (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        Line line;
        line.text = std::string(raw);
        const std::string_view trimmed = Trim(raw, Blanks);
        if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
            // a blank line or a comment
        } else if (trimmed.front() == '[') {
            const size_t close = trimmed.find(']');
            if (close == std::string_view::npos) {
                unreadable.push_back(number);
            } else {
                section = std::string(Trim(trimmed.substr(1, close - 1), Blanks));
                line.header = true;
            }
        } else if (const size_t equals = raw.find('=');
                   equals != std::string_view::npos && !Trim(raw.substr(0, equals), Blanks).empty()) {
            line.key = std::string(Trim(raw.substr(0, equals), Blanks));
            SplitValue(raw.substr(equals + 1), line.value, line.comment);
        } else {
            unreadable.push_back(number);
        }
        line.section = section;
        conf.lines.push_back(std::move(line));
    }
    ReportUnreadable(unreadable, conf.problems);
    return conf;
}

std::vector<TavoConf::Entry> TavoConf::Entries() const {
    std::vector<Entry> entries;
    for (const Line& line : lines)
        if (!line.key.empty())
            entries.push_back({line.section, line.key, line.value});
    return entries;
}

std::string TavoConf::Text() const {
    std::string text;
    for (const Line& line : lines)
        text += line.text + "\n";
    return text;
}

const TavoConf::Line* TavoConf::Find(std::string_view section, std::string_view key) const {
    const Line* found = nullptr;
    for (const Line& line : lines)
        if (!line.key.empty() && EqualIgnoringCase(line.section, section) && EqualIgnoringCase(line.key, key))
            found = &line;
    return found;
}

std::optional<std::string> TavoConf::Get(std::string_view section, std::string_view key) const {
    const Line* line = Find(section, key);
    if (!line)
        return std::nullopt;
    return line->value;
}

void TavoConf::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (Line* line = const_cast<Line*>(Find(section, key))) {
        line->value = OneLine(value);
        line->text = KeyLine(line->key, line->value, line->comment);
        return;
    }
    Line added;
    added.section = std::string(section);
    added.key = std::string(key);
    added.value = OneLine(value);
    added.text = KeyLine(key, added.value, "");
    // After the last key of the section, else right after its header.
    size_t at = lines.size() + 1;
    for (size_t i = 0; i < lines.size(); ++i)
        if (EqualIgnoringCase(lines[i].section, section) && (lines[i].header || !lines[i].key.empty()))
            at = i + 1;
    if (at <= lines.size()) {
        added.section = lines[at - 1].section;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
        return;
    }
    if (!lines.empty() && !Trim(lines.back().text, Blanks).empty())
        lines.push_back(Line{"", lines.back().section, "", "", "", false});
    lines.push_back(Line{"[" + std::string(section) + "]", std::string(section), "", "", "", true});
    lines.push_back(std::move(added));
}

std::string TavoConf::Where(const Line& line) const {
    const size_t number = static_cast<size_t>(&line - lines.data()) + 1;
    return "tavo.conf line " + std::to_string(number) + ": [" + line.section + "] " + line.key +
           "=" + line.value;
}

std::string TavoConf::GetString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    const Line* line = Find(section, key);
    return line ? line->value : std::string(fallback);
}

bool TavoConf::GetBool(std::string_view section, std::string_view key, bool fallback) const {
    const Line* line = Find(section, key);
    if (!line)
        return fallback;
    for (std::string_view yes : {"true", "yes", "on", "1"})
        if (EqualIgnoringCase(line->value, yes))
            return true;
    for (std::string_view no : {"false", "no", "off", "0"})
        if (EqualIgnoringCase(line->value, no))
            return false;
    Report(Where(*line) + " is not true or false; using " + (fallback ? "true" : "false"));
    return fallback;
}

int TavoConf::GetInt(std::string_view section, std::string_view key, int fallback, int low,
                     int high) const {
    const Line* line = Find(section, key);
    if (!line)
        return fallback;
    int value = 0;
    const char* first = line->value.data();
    const char* last = first + line->value.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc() && end == last && value >= low && value <= high)
        return value;
    Report(Where(*line) + " is not a whole number from " + std::to_string(low) + " to " +
           std::to_string(high) + "; using " + std::to_string(fallback));
    return fallback;
}

size_t TavoConf::GetChoice(std::string_view section, std::string_view key,
                           const std::vector<std::string_view>& choices, size_t fallback) const {
    const Line* line = Find(section, key);
    if (!line)
        return fallback;
    std::string names;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (EqualIgnoringCase(line->value, choices[i]))
            return i;
        names += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + std::string(choices[i]);
    }
    Report(Where(*line) + " is not " + names + "; using " + std::string(choices[fallback]));
    return fallback;
}
