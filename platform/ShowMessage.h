#pragma once
// Errors the user must see: a box titled "TAVO" when there are windows, standard error when
// headless. The GUI installs its handler at start-up; the handler itself takes care of being
// called from another thread.

#include <functional>
#include <string>

void ShowMessage(const std::string& text);

using MessageHandler = std::function<void(const std::string&)>;
// Installs a new handler (an empty one restores standard error) and returns the previous one.
MessageHandler SetMessageHandler(MessageHandler handler);

// Events worth a line in the log but no box: one line "tavo: TEXT" on standard error (the
// journal of a service), from any thread.
void LogToStandardError(const std::string& text);
