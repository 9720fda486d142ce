#include "core/CallVerdicts.h"
#include "platform/Text.h"

#include "platform/FileBytes.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// "caller.his" keeps no PLCI: a call loaded from it is found by its time and number alone.
std::string KeyOf(int64_t time, std::string_view calling) {
    std::string key = std::to_string(time);
    key += '\t';
    key += calling;
    return key;
}

std::string KeyOf(const CallRecord& call) { return KeyOf(call.callTime, call.value.view()); }

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (fields.size() < 5) {
        const size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos)
            break;
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start)); // the rule's text may hold anything but a line end
    return fields;
}

template <typename Number> bool ReadNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

} // namespace

std::string VerdictLine(const CallRecord& call, const RuleVerdict& verdict) {
    std::string line = std::to_string(call.callTime);
    line += '\t';
    line += std::to_string(call.connectionId);
    line += '\t';
    line += call.value.view();
    line += '\t';
    line += RuleActionName(verdict.action);
    line += '\t';
    line += std::to_string(verdict.rule ? verdict.rule->line : 0);
    line += '\t';
    for (char c : verdict.rule ? verdict.rule->text : std::string())
        line += c == '\n' || c == '\r' ? ' ' : c;
    line += '\n';
    return line;
}

bool CallVerdicts::Load(const std::string& path, std::string& error, bool cutTornLine) {
    verdicts.clear();
    FileReadResult file = ReadFileBytes(path, MissingFile::Fail);
    if (!file.opened) {
        if (access(path.c_str(), F_OK) != 0 && errno == ENOENT)
            return true;
        error = file.error;
        return false;
    }
    const std::string& bytes = file.bytes;
    const size_t whole = bytes.rfind('\n') == std::string::npos ? 0 : bytes.rfind('\n') + 1;
    if (cutTornLine && whole < bytes.size() && truncate(path.c_str(), off_t(whole)) != 0) {
        error = std::string("cannot cut a torn last line: ") + ErrorText(errno);
        return false;
    }
    size_t start = 0;
    while (start < whole) {
        const size_t end = bytes.find('\n', start);
        const std::string_view line(bytes.data() + start, end - start);
        start = end + 1;
        const std::vector<std::string_view> fields = Fields(line);
        int64_t time = 0;
        uint32_t plci = 0;
        StoredVerdict verdict;
        if (fields.size() != 6 || !ReadNumber(fields[0], time) || !ReadNumber(fields[1], plci) ||
            !ReadNumber(fields[4], verdict.line))
            continue;
        if (fields[3] == "quiet")
            verdict.action = RuleAction::Quiet;
        else if (fields[3] == "reject")
            verdict.action = RuleAction::Reject;
        else if (fields[3] != "announce")
            continue;
        verdict.rule = std::string(fields[5]);
        verdicts[KeyOf(time, fields[2])] = std::move(verdict);
    }
    return true;
}

bool CallVerdicts::Record(const std::string& path, const CallRecord& call,
                          const RuleVerdict& verdict, std::string& error) {
    if (!verdict.rule)
        return true;
    const std::string line = VerdictLine(call, verdict);
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    if (ok) {
        const ssize_t written = write(fd, line.data(), line.size());
        ok = written == ssize_t(line.size()) && fdatasync(fd) == 0;
        if (!ok && written > 0) {
            // Never leave half a line for the next one to be glued to.
            const off_t end = lseek(fd, 0, SEEK_END);
            if (end >= written)
                (void)ftruncate(fd, end - written);
        }
    }
    if (!ok)
        error = ErrorText(errno ? errno : ENOSPC);
    if (fd >= 0)
        close(fd);
    StoredVerdict& stored = verdicts[KeyOf(call)];
    stored.action = verdict.action;
    stored.line = verdict.rule->line;
    stored.rule = verdict.rule->text;
    return ok;
}

const StoredVerdict* CallVerdicts::Find(const CallRecord& call) const {
    const auto found = verdicts.find(KeyOf(call));
    return found == verdicts.end() ? nullptr : &found->second;
}
