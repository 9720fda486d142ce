#pragma once
// The call history written out with what was found for each call: RFC 4180 CSV with a header
// line, or one JSON object per line. Texts are written as UTF-8; CSV text cells that a
// spreadsheet would take as a formula get a leading "'" (data/CsvText.h).

#include "core/CommandLine.h"
#include "data/AreaCodeTable.h"
#include "data/CallList.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class CallVerdicts;

struct ExportRange {
    std::optional<int64_t> from; // first second included (local midnight of the first day)
    std::optional<int64_t> to;   // first second after the last day
};

// --from and --to dates (YYYY-MM-DD, checked) as local day boundaries; both days included.
ExportRange ExportRangeOf(const std::optional<std::string>& fromDate,
                          const std::optional<std::string>& toDate);

// A call belongs to the range by its time. Records from old files carry no time: they are
// written only when no date was given.
bool InExportRange(const CallRecord& call, const ExportRange& range);

// The CSV header line (with CR LF); empty for JSON lines. `withRule`: a last column "rule".
std::string ExportHeader(ExportFormat format, bool withRule = false);

// Takes the export's bytes in pieces of some kilobytes; false when they could not be written.
using ExportSink = std::function<bool(std::string_view bytes)>;

// Writes every call of `calls` within `range`, oldest first. Returns the number of calls
// written, or -1 when writing failed. With `verdicts` (the user screens calls by rules), each
// call also gets the text of the rule that decided it: a last CSV column "rule", a last JSON
// key "rule", empty for calls no rule decided; without, the lines are as they always were.
int64_t ExportHistory(const CallList& calls, const Directory& msnList, const Directory& phoneBook,
                      const AreaCodeTable& areaCodes, const ExportRange& range, ExportFormat format,
                      const ExportSink& sink, const CallVerdicts* verdicts = nullptr);

// The same into a stream, flushed at the end; -1 also when the flush fails (a full disk, a
// closed pipe).
int64_t ExportHistory(const CallList& calls, const Directory& msnList, const Directory& phoneBook,
                      const AreaCodeTable& areaCodes, const ExportRange& range, ExportFormat format,
                      std::FILE* out, const CallVerdicts* verdicts = nullptr);
