#include "core/StorageState.h"

#include "platform/ShowMessage.h"

void StorageState::SetListener(Listener given) {
    std::lock_guard lock(mutex);
    listener = std::move(given);
}

namespace {
const char* const kRecoveredText =
    "The data directory can be written again: calls are saved again.";
}

void StorageState::Report(const std::string& file, bool ok, const std::string& error) {
    bool wasWritable, writable;
    {
        std::lock_guard lock(mutex);
        wasWritable = WritableLocked();
        bool& failed = failing[file];
        failed = !ok;
        if (ok)
            knownFailure = false; // something could be written, so the directory is writable
        writable = WritableLocked();
    }
    // One message when the first file fails and one when the last comes back.
    if (wasWritable && !writable)
        Tell(false, "Cannot save " + (error.empty() ? file : error) + "." +
                        "\nCalls are still announced, but nothing is saved until the data "
                        "directory can be written again.");
    else if (!wasWritable && writable)
        Tell(true, kRecoveredText);
}

void StorageState::ReportKnownFailure(const std::string& text) {
    {
        std::lock_guard lock(mutex);
        knownFailure = true;
    }
    Tell(false, text);
}

bool StorageState::Writable() const {
    std::lock_guard lock(mutex);
    return WritableLocked();
}

bool StorageState::WritableLocked() const {
    if (knownFailure)
        return false;
    for (const auto& [name, down] : failing)
        if (down)
            return false;
    return true;
}

void StorageState::Tell(bool writable, const std::string& text) {
    Listener copy;
    {
        std::lock_guard lock(mutex);
        copy = listener;
    }
    ShowMessage(text);
    if (copy)
        copy(writable, text);
}
