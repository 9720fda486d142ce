#include "data/ListDump.h"
#include "data/ListFile.h"

namespace {

void AppendEscaped(std::string& line, const OptText& text) {
    if (!text) {
        line += "\\N";
        return;
    }
    for (char c : *text) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\r':
            line += "\\r";
            break;
        case '\n':
            line += "\\n";
            break;
        default:
            line += c;
        }
    }
}

} // namespace

std::string FormatDumpLine(const CallRecord& record) {
    std::string line;
    AppendEscaped(line, record.key);
    line += '\t';
    AppendEscaped(line, record.value);
    line += '\t';
    line += std::to_string(record.reserved);
    line += '\t';
    AppendEscaped(line, record.speakText);
    line += '\t';
    line += std::to_string(record.callTime);
    line += '\t';
    line += std::to_string(record.cipValue);
    line += '\t';
    AppendEscaped(line, record.timeText());
    line += '\n';
    return line;
}

int DumpListFile(const std::string& path, std::FILE* out, std::FILE* err) {
    CallList list;
    std::string error;
    if (!LoadExistingListFile(list, path, error)) {
        std::fprintf(err, "tavo: cannot read %s\n", error.c_str());
        return 2;
    }
    for (const CallRecord& record : list) {
        const std::string line = FormatDumpLine(record);
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size())
            break;
    }
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "tavo: cannot write the output\n");
        return 1;
    }
    return 0;
}
