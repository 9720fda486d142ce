#include "core/HistoryExport.h"

#include "core/CallVerdicts.h"
#include "core/ResolvedCallCache.h"
#include "data/CsvText.h"
#include "data/ListFile.h"
#include "data/TextCharset.h"

#include <ctime>

namespace {

int64_t LocalMidnightOf(const std::string& date, int extraDays) {
    std::tm day{};
    day.tm_year = std::stoi(date.substr(0, 4)) - 1900;
    day.tm_mon = std::stoi(date.substr(5, 2)) - 1;
    day.tm_mday = std::stoi(date.substr(8, 2)) + extraDays; // mktime carries over
    day.tm_isdst = -1;
    return int64_t(std::mktime(&day));
}

// A UTF-8 text as a JSON string.
std::string JsonUtf8String(const std::string& text) {
    std::string json = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

// A text of the lists (stored as Windows-1252) as a JSON string.
std::string JsonString(const std::string& stored) { return JsonUtf8String(StoredTextToUtf8(stored)); }

struct ExportFields {
    std::string time, called, msn, service, calling, name, place, repeats;
    std::optional<std::string> rule; // only when the user screens calls by rules
};

ExportFields FieldsOf(const CallRecord& call, const ResolvedCall& resolved) {
    ExportFields fields;
    fields.time = FormatCallTime(call.callTime);
    fields.called = resolved.calledNumber;
    fields.msn = resolved.msnName;
    fields.service = resolved.service ? resolved.service : "";
    fields.calling = resolved.callingNumber;
    fields.name = resolved.callerName.value_or("");
    fields.place = resolved.placeName;
    fields.repeats = std::to_string(call.repeatCount);
    return fields;
}

std::string CsvLine(const ExportFields& f) {
    std::string line;
    for (const std::string* field :
         {&f.time, &f.called, &f.msn, &f.service, &f.calling, &f.name, &f.place}) {
        line += CsvTextField(StoredTextToUtf8(*field));
        line += ',';
    }
    line += f.repeats;
    if (f.rule)
        line += ',' + CsvTextField(*f.rule);
    return line + "\r\n";
}

std::string JsonLine(const ExportFields& f) {
    return "{\"time\":" + JsonString(f.time) + ",\"called\":" + JsonString(f.called) +
           ",\"msn\":" + JsonString(f.msn) + ",\"service\":" + JsonString(f.service) +
           ",\"calling\":" + JsonString(f.calling) + ",\"name\":" + JsonString(f.name) +
           ",\"place\":" + JsonString(f.place) + ",\"repeats\":" + f.repeats +
           (f.rule ? ",\"rule\":" + JsonUtf8String(*f.rule) : std::string()) + "}\n";
}

} // namespace

ExportRange ExportRangeOf(const std::optional<std::string>& fromDate,
                          const std::optional<std::string>& toDate) {
    ExportRange range;
    if (fromDate)
        range.from = LocalMidnightOf(*fromDate, 0);
    if (toDate)
        range.to = LocalMidnightOf(*toDate, 1);
    return range;
}

bool InExportRange(const CallRecord& call, const ExportRange& range) {
    if (!call.hasTime && call.callTime == 0)
        return !range.from && !range.to;
    if (range.from && call.callTime < *range.from)
        return false;
    if (range.to && call.callTime >= *range.to)
        return false;
    return true;
}

std::string ExportHeader(ExportFormat format, bool withRule) {
    if (format == ExportFormat::Json)
        return std::string();
    return withRule ? "time,called,msn,service,calling,name,place,repeats,rule\r\n"
                    : "time,called,msn,service,calling,name,place,repeats\r\n";
}

int64_t ExportHistory(const CallList& calls, const Directory& msnList, const Directory& phoneBook,
                      const AreaCodeTable& areaCodes, const ExportRange& range, ExportFormat format,
                      const ExportSink& sink, const CallVerdicts* verdicts) {
    ResolvedCallCache cache(msnList, phoneBook, areaCodes);
    // Lines are handed on in pieces: a million calls are not a million writes.
    constexpr size_t PieceSize = 1 << 16;
    std::string piece = ExportHeader(format, verdicts != nullptr);
    int64_t written = 0;
    for (const CallRecord& call : calls) {
        if (!InExportRange(call, range))
            continue;
        ExportFields fields = FieldsOf(call, cache.Resolve(call));
        if (verdicts) {
            const StoredVerdict* verdict = verdicts->Find(call);
            fields.rule = verdict ? verdict->rule : std::string();
        }
        piece += format == ExportFormat::Csv ? CsvLine(fields) : JsonLine(fields);
        ++written;
        if (piece.size() >= PieceSize) {
            if (!sink(piece))
                return -1;
            piece.clear();
        }
    }
    if (!piece.empty() && !sink(piece))
        return -1;
    return written;
}

int64_t ExportHistory(const CallList& calls, const Directory& msnList, const Directory& phoneBook,
                      const AreaCodeTable& areaCodes, const ExportRange& range, ExportFormat format,
                      std::FILE* out, const CallVerdicts* verdicts) {
    const int64_t written = ExportHistory(
        calls, msnList, phoneBook, areaCodes, range, format, [out](std::string_view bytes) {
            return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        }, verdicts);
    return written >= 0 && std::fflush(out) == 0 ? written : -1;
}
