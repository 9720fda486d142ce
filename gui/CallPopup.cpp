#include "gui/CallPopup.h"

#include <algorithm>
#include <cstdint>

CallPopup* CallPopup::Start(QObject* owner, const Context& context, const std::string& text,
                            CallRecord& callEntry) {
    auto* popup = new CallPopup(owner, context, text, callEntry);
    popup->InitInstance();
    return popup;
}

CallPopup::CallPopup(QObject* owner, const Context& givenContext, const std::string& text,
                     CallRecord& entry)
    : QObject(owner), context(givenContext), callEntry(entry), popupText(text) {}

CallPopup::~CallPopup() = default;

void CallPopup::InitInstance() {
    popupWindow = std::make_unique<CPopupDlg>(callEntry, context.settings, context.sound);
    const int seconds = popupWindow->InitDialog();
    popupWindow->FitToText(PopupQString(popupText));
    popupWindow->show(); // without activating it: the keyboard stays where the user typed
    popupWindow->raise();

    // A damaged setting must neither keep the popup up for weeks nor spin the timer: the
    // period stays between one second and one day.
    const int64_t period = std::clamp<int64_t>(int64_t{seconds}, 1, int64_t{24} * 3600) *
                           std::max(1, context.millisecondsPerSecond);
    timer.setInterval(static_cast<int>(std::min<int64_t>(period, INT32_MAX)));
    connect(&timer, &QTimer::timeout, this, &CallPopup::Tick);
    timer.start();
}

void CallPopup::Tick() {
    if (done || !popupWindow->OnTimer())
        return;
    done = true;
    timer.stop();
    if (popupWindow->isActiveWindow() && context.restoreMainWindow)
        context.restoreMainWindow();
    popupWindow->hide();
    emit Finished();
    deleteLater();
}
