#include "platform/ShowMessage.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex handlerMutex;
MessageHandler& Handler() {
    static MessageHandler handler;
    return handler;
}
} // namespace

void ShowMessage(const std::string& text) {
    MessageHandler handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = Handler();
    }
    if (handler) {
        handler(text);
        return;
    }
    std::fprintf(stderr, "TAVO: %s\n", text.c_str());
}

MessageHandler SetMessageHandler(MessageHandler handler) {
    std::lock_guard lock(handlerMutex);
    MessageHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void LogToStandardError(const std::string& text) {
    std::fprintf(stderr, "tavo: %s\n", text.c_str());
}
