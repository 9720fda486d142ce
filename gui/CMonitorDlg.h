#pragma once
// The main window: the day list (DayListWidget), the "System" menu, and the tray icon from
// which it is shown, hidden and the options are opened. It runs the start-up of the monitor in
// its fixed order on a MonitorCore and shows what the core does.

#include "core/IncomingCallHandler.h"
#include "core/MonitorCore.h"
#include "gui/LineStatusText.h"
#include "outputs/OutputStatus.h"

#include <QDialog>
#include <QIcon>
#include <QStringList>

#include <functional>
#include <vector>

class QLabel;
class QMenu;
class QStatusBar;
class QAction;
class QSystemTrayIcon;
class QTabBar;
class QTimer;
class CListViewEx;
class DayListWidget;
class CStatisticsDlg;
class CallSearchBar;
struct SearchResult;
class QWidget;

class CMonitorDlg : public QDialog, public CallAnnouncer {
    Q_OBJECT
public:
    explicit CMonitorDlg(MonitorCore& core, QWidget* parent = nullptr);
    ~CMonitorDlg() override;

    // The start-up sequence; the window is shown by ShowAsStarted afterwards.
    void StartUp();
    // Shown normally, or minimized with `startMinimized` (then hidden by timer 2 when
    // `hideWhenMinimized` is set and there is a tray to come back from).
    void ShowAsStarted();

    // The day list's double-click: the entry editor for the caller's number.
    void OnCallListDoubleClick();
    // The phone book's entry for `calling` in the entry editor, a new one when there is none.
    void EditPhoneBookEntry(const OptText& calling);
    // An action picked on a call's desktop notification.
    void OnNotificationAction(const std::string& action, const CallEvent& call);
    void SelectToday(); // tab 0, then its calls

    // Commands.
    // Shows the window as it was (maximised or not) and raises it: the tray, a notification,
    // a second start.
    void ShowWindow();
    void ToggleWindow();
    void SaveWindowState();
    void OnOptions();
    void OnExit();
    // The end of the session (SIGTERM, the desktop session ending): nothing is saved.
    void EndSession();

    // Whether the window may hide when minimized: only when a tray icon can bring it back.
    void SetTrayAvailable(bool available) { trayAvailable = available; }
    bool TrayAvailable() const { return trayAvailable; }
    bool SessionEnded() const { return sessionEnded; }

    // "options...": runs the options sheet and, after OK, everything that follows it; returns
    // true for OK. Empty: the real sheet.
    std::function<bool()> runOptionsSheet;
    // Shows a message at the tray icon (the first close into the tray). Empty: the icon's own.
    std::function<void(const QString& title, const QString& text)> showTrayMessage;

    // What the call handler shows and plays through this window.
    void ShowToday() override { SelectToday(); }
    void RepeatCountChanged(const CallRecord& record) override;
    void ShowPopup(const std::string& text, CallRecord& record) override;
    void BeepMelody() override;
    void Speak(const std::string& text) override;

    DayListWidget* DayList() const { return dayList; }
    QTabBar* DayTabs() const;
    CListViewEx* CallView() const;
    QMenu* TrayMenu() const { return trayMenu; }
    QSystemTrayIcon* TrayIcon() const { return trayIcon; }
    CallSearchBar* SearchBar() const { return searchBar; }
    CStatisticsDlg* Statistics() const { return statistics; }

    static const QString TrayToolTip;
    // The tray tooltip names a data directory that cannot be written while that lasts.
    void ShowStorageState(bool writable, const std::string& text);
    // The line's state in the status bar and the tray tooltip; the tray icon changes while the
    // line does not work. Until the first call the window says nothing about the line.
    void SetLineStatus(const LineStatus& status);
    QStatusBar* StatusBar() const { return statusBar; }
    // The state of each output that is on, beside the line's; the failing ones in the tray tooltip.
    void SetOutputStatuses(const std::vector<OutputStatus>& statuses);

    // "area codes..." and "statistics..." in the System menu.
    void OnAreaCodes();
    void OnStatistics();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

public:
    // Enter and Esc must not end the window; only "exit" and the end of the session do.
    void accept() override {}
    void reject() override {}

private:
    void CreateColumns();
    void CreateMenus();
    void CreateTrayIcon();
    void MoveToStoredRect();
    void UpdateTrayMenuText();
    void UpdateTrayToolTip();
    void ShowLineStatus();
    void OnLineReport(const LineReport& report);
    // After the lines were opened anew: their states start afresh.
    void TakeLinesInUse();
    // The lines in use, each with its state, in the monitor's order.
    std::vector<SourceLineStatus> SourceStatuses() const;
    std::map<std::string, LineStatus> StatusesInUse() const;
    void UpdateStatusBar();
    void OnHideTimer();
    void CorrectForFrame();
    bool RunOptionsSheet();
    void ShowSearchResults(const SearchResult& result, const QStringList& places,
                           const QString& query);

    MonitorCore& core;
    QIcon appIcon;
    DayListWidget* dayList = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* trayMenu = nullptr;
    QAction* trayShowAction = nullptr;
    CallSearchBar* searchBar = nullptr;
    CStatisticsDlg* statistics = nullptr;
    QStatusBar* statusBar = nullptr;
    QLabel* lineStatusLabel = nullptr;
    QLabel* outputStatusLabel = nullptr;
    LineStatus lineStatus;
    std::map<std::string, LineStatus> lineStatuses; // by line source ("": CAPI)
    // Empty until the lines were opened; then only these are shown (a line that was closed
    // may still have reports on their way).
    std::vector<MonitorCore::LineInUse> linesInUse;
    QString outputStatusText;
    QString failingOutputsText; // the tray tooltip names only these
    QString storageText;
    QTimer* hideTimer = nullptr; // timer 2
    QTimer* dayTimer = nullptr;  // timer 3
    bool trayAvailable = false;
    bool sessionEnded = false;
    bool frameCorrected = false;
    QSize storedFrameSize;
};

// The window title: the name, the version and the copyright notice.
QString MonitorWindowTitle();
