#pragma once
// One popup for one announced call. It lives on the GUI thread (widgets live nowhere else),
// owns its window and its timer, and deletes itself when the popup is done, so that several
// popups can be up at once and none of them holds up the main window.

#include "gui/CPopupDlg.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

class CallPopup : public QObject {
    Q_OBJECT
public:
    struct Context {
        const GuardedSettings& settings;
        SoundSink& sound;
        // Restores and activates the main window; called when the popup times out while it is
        // still the active window.
        std::function<void()> restoreMainWindow;
        // Length of one of the popup's seconds; tests make it short.
        int millisecondsPerSecond = 1000;
    };

    // Shows a popup with `text` for the call `callEntry`, which must stay valid while the
    // popup is up (call-list records do). The object belongs to `owner` (may be null) until it
    // deletes itself; the returned pointer is only for tests.
    static CallPopup* Start(QObject* owner, const Context& context, const std::string& text,
                                 CallRecord& callEntry);

    ~CallPopup() override;

    CPopupDlg* PopupWindow() const { return popupWindow.get(); }
    // What the timer does at each period; public so tests can drive it.
    void Tick();
    bool Done() const { return done; }

signals:
    void Finished();

private:
    CallPopup(QObject* owner, const Context& context, const std::string& text,
                   CallRecord& callEntry);
    void InitInstance();

    Context context;
    CallRecord& callEntry;
    std::string popupText;
    std::unique_ptr<CPopupDlg> popupWindow;
    QTimer timer;
    bool done = false;
};
