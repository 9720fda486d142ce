#include "gui/CMonitorDlg.h"

#include "gui/AreaCodesMenu.h"
#include "gui/CStatisticsDlg.h"
#include "gui/CallSearchBar.h"

#include "core/CallScreening.h"
#include "data/ListFile.h"
#include "gui/AppIcon.h"
#include "gui/CListViewEx.h"
#include "gui/CallPopup.h"
#include "gui/CEditDataDlg.h"
#include "gui/DayListWidget.h"
#include "gui/DialogUnits.h"
#include "gui/OutputStatusText.h"
#include "gui/ResourceIds.h"
#include "gui/WindowPlacement.h"
#include "gui/options/COptionCommand.h"
#include "outputs/OutputHub.h"
#include "platform/ShowMessage.h"
#include "platform/SoundSink.h"
#include "platform/Version.h"
#include "settings/LineSettings.h"
#include "settings/TavoConf.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QShortcut>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QThread>
#include <QTimer>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace {

// The window's own state beyond the settings record, in tavo.conf's [window] section.
constexpr const char* WindowSection = "window";
constexpr const char* MaximizedKey = "maximized";
constexpr const char* CloseNoticeKey = "close-notice-shown";

bool ReadWindowFlag(const char* key) {
    return LoadTavoConf(TavoConfPath()).conf.GetBool(WindowSection, key, false);
}

// Written only when it changes, so a user who never maximises gets no file for it.
void WriteWindowFlag(const char* key, bool value) {
    const std::string path = TavoConfPath();
    TavoConfLoad load = LoadTavoConf(path);
    if (!load.ok || load.conf.GetBool(WindowSection, key, false) == value)
        return;
    load.conf.Set(WindowSection, key, value ? "yes" : "no");
    std::string error;
    if (!SaveTavoConf(load.conf, path, error))
        std::fprintf(stderr, "tavo: the window's state could not be kept in %s: %s\n",
                     path.c_str(), error.c_str());
}

// From about this size (some 50,000 calls) loading the history takes long enough to notice.
constexpr std::uintmax_t NoticeableHistoryBytes = 4u << 20;

std::unique_ptr<QWidget> ShowLoadingNote() {
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(IncomingCallHandler::HistoryFileName, error);
    if (error || bytes < NoticeableHistoryBytes)
        return nullptr;
    auto note = std::make_unique<QLabel>(
        CMonitorDlg::tr("TAVO is loading the call history (%1 MB)...").arg(bytes >> 20));
    note->setWindowFlags(Qt::SplashScreen | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus);
    note->setAttribute(Qt::WA_ShowWithoutActivating);
    note->setMargin(20);
    note->setFrameStyle(QFrame::Panel | QFrame::Raised);
    note->show();
    // Drawn before the loading takes the thread.
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return note;
}

} // namespace

const QString CMonitorDlg::TrayToolTip = QStringLiteral("TAVO Version 1.01");

QString MonitorWindowTitle() {
    return QString::fromLatin1(TavoTitle);
}

CMonitorDlg::CMonitorDlg(MonitorCore& core, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      core(core), appIcon(MonitorAppIcon()) {
    setObjectName(Ids::MainDialog.objectName);
    setWindowTitle(QStringLiteral("TAVO"));
    setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(5, 5, 5, 0);
    searchBar = new CallSearchBar(core, this);
    auto* searchLabel = new QLabel(tr("Sea&rch:"), this);
    searchLabel->setObjectName(QStringLiteral("IDC_SEARCH_LABEL"));
    searchLabel->setBuddy(searchBar);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(searchBar, 1);
    layout->addLayout(searchRow);
    dayList = new DayListWidget(core, this);
    layout->addWidget(dayList, 1);
    // The line's state; hidden until someone tells it (SetLineStatus).
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("IDC_STATUS_BAR"));
    statusBar->setSizeGripEnabled(false);
    lineStatusLabel = new QLabel(statusBar);
    lineStatusLabel->setObjectName(QStringLiteral("IDC_LINE_STATUS"));
    statusBar->addWidget(lineStatusLabel, 1);
    outputStatusLabel = new QLabel(statusBar);
    outputStatusLabel->setObjectName(QStringLiteral("IDC_OUTPUT_STATUS"));
    outputStatusLabel->setTextFormat(Qt::PlainText);
    statusBar->addPermanentWidget(outputStatusLabel);
    statusBar->hide();
    layout->addWidget(statusBar);
    connect(searchBar, &CallSearchBar::Searching, this, [this] {
        dayList->ShowSearchHeading(tr("searching..."));
    });
    connect(searchBar, &CallSearchBar::ResultsReady, this, &CMonitorDlg::ShowSearchResults);
    connect(searchBar, &CallSearchBar::Cleared, this, [this] {
        searchBar->setToolTip(QString());
        dayList->ShowDay();
    });
    connect(dayList, &DayListWidget::HistoryChanged, searchBar, &CallSearchBar::Refresh);
    CreateMenus();
    layout->setMenuBar(findChild<QMenuBar*>(Ids::MainMenu.objectName));
    connect(dayList, &DayListWidget::CallDoubleClicked, this, &CMonitorDlg::OnCallListDoubleClick);

    hideTimer = new QTimer(this);
    hideTimer->setInterval(100);
    connect(hideTimer, &QTimer::timeout, this, &CMonitorDlg::OnHideTimer);
    dayTimer = new QTimer(this);
    dayTimer->setInterval(1000);
    connect(dayTimer, &QTimer::timeout, dayList, &DayListWidget::RebuildDayTabs);
    connect(dayTimer, &QTimer::timeout, this, [this] {
        const std::map<std::string, LineStatus> statuses = StatusesInUse();
        if (std::any_of(statuses.begin(), statuses.end(), [](const auto& source) {
                return source.second.state == LineStatus::State::Lost && source.second.retryAt > 0;
            }) ||
            (lineStatus.state == LineStatus::State::Lost && lineStatus.retryAt > 0))
            ShowLineStatus(); // the retry's countdown
    });

    DialogUnits du(font());
    resize(du.X(250), du.Y(172));
    trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    core.SetAnnouncer(this);
}

CMonitorDlg::~CMonitorDlg() {
    // The listener hands its calls to this window: it must be gone before the window is.
    if (OutputHub* outputs = core.Outputs())
        outputs->SetStatusListener({});
    core.Shutdown();
    core.SetAnnouncer(nullptr);
    core.SetStorageListener({});
    core.SetLineListener({});
    if (trayIcon != nullptr)
        trayIcon->hide();
}

void CMonitorDlg::StartUp() {
    setWindowIcon(appIcon);
    // A data directory that cannot be written is shown in the tray icon's tooltip for as long
    // as it lasts (the message box has told it once already).
    core.SetStorageListener(
        [window = QPointer<CMonitorDlg>(this)](bool writable, const std::string& text) {
            QMetaObject::invokeMethod(
                window, [window, writable, text] { window->ShowStorageState(writable, text); },
                Qt::QueuedConnection);
        });
    {
        // A long history takes a moment to load: a note says so at once instead of nothing.
        const std::unique_ptr<QWidget> note = ShowLoadingNote();
        core.LoadData();
    }
    CreateColumns();
    // The line tells its state from its own thread; the window keeps it on its own.
    core.SetLineListener([window = QPointer<CMonitorDlg>(this)](const LineReport& report) {
        QMetaObject::invokeMethod(
            window, [window, report] { window->OnLineReport(report); }, Qt::QueuedConnection);
    });
    core.StartCallCapture([this](const IncomingCallNotice& notice) {
        if (QThread::currentThread() == thread()) {
            core.OnIncomingCall(notice);
            return;
        }
        // Like a sent window message: the listener waits until the call has been handled.
        QMetaObject::invokeMethod(
            this, [this, &notice] { core.OnIncomingCall(notice); }, Qt::BlockingQueuedConnection);
    });
    linesInUse = core.LinesInUse();
    if (!lineStatuses.empty())
        SetLineStatus(WorstLineStatus(StatusesInUse()));
    CreateTrayIcon();
    MoveToStoredRect();
    dayList->RebuildDayTabs();
    dayList->FillDayList();
    core.StartSpeech();
    bool startMinimized, hideWhenMinimized;
    {
        const auto settings = core.settings.Read();
        startMinimized = settings->startMinimized != 0;
        hideWhenMinimized = settings->hideWhenMinimized != 0;
    }
    if (startMinimized) {
        showMinimized();
        if (hideWhenMinimized && trayAvailable)
            hideTimer->start();
    }
    dayTimer->start();
    setWindowTitle(MonitorWindowTitle());
    core.StartTelnet();
    core.StartOutputs();
    if (OutputHub* outputs = core.Outputs()) {
        outputs->SetStatusListener([window = QPointer<CMonitorDlg>(this)](
                                       const std::vector<OutputStatus>& statuses) {
            QMetaObject::invokeMethod(
                window, [window, statuses] { window->SetOutputStatuses(statuses); },
                Qt::QueuedConnection);
        });
    }
    if (OutputHub* outputs = core.Outputs())
        outputs->SetNotificationActions([this](const std::string& action, const CallEvent& call) {
            OnNotificationAction(action, call);
        });
}

void CMonitorDlg::ShowAsStarted() {
    if (isVisible())
        return;
    if (ReadWindowFlag(MaximizedKey))
        showMaximized();
    else
        show();
}

void CMonitorDlg::CreateColumns() {
    std::array<int, 3> widths;
    {
        const auto settings = core.settings.Read();
        widths = {settings->colWidthDateTime, settings->colWidthTo, settings->colWidthWho};
    }
    // Stored widths are the user's; a first start measures the texts in the desktop's font.
    std::error_code error;
    if (!std::filesystem::exists(SettingsFilePath(), error))
        widths = dayList->DefaultColumnWidths(widths);
    dayList->CreateColumns(widths[0], widths[1], widths[2]);
}

void CMonitorDlg::CreateMenus() {
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(Ids::MainMenu.objectName);
    QMenu* system = menuBar->addMenu(tr("&System"));
    system->setObjectName(Ids::SystemMenu.objectName);
    // Alt+S comes with the mnemonic; F10 opens the menu bar as on other desktops.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, menuBar,
            [menuBar, system] { menuBar->setActiveAction(system->menuAction()); });
    QAction* options = system->addAction(tr("&options..."));
    options->setObjectName(Ids::CmdOptions.objectName);
    options->setShortcut(QKeySequence(tr("Ctrl+,")));
    QAction* areaCodesAction = system->addAction(tr("&area codes..."));
    areaCodesAction->setObjectName(QStringLiteral("ID_AREACODES"));
    connect(areaCodesAction, &QAction::triggered, this, &CMonitorDlg::OnAreaCodes);
    QAction* statisticsAction = system->addAction(tr("s&tatistics..."));
    statisticsAction->setObjectName(QStringLiteral("ID_STATISTICS"));
    connect(statisticsAction, &QAction::triggered, this, &CMonitorDlg::OnStatistics);
    system->addSeparator();
    QAction* exit = system->addAction(tr("e&xit"));
    exit->setObjectName(Ids::CmdExit.objectName);
    exit->setShortcut(QKeySequence(tr("Ctrl+Q")));
    // Ctrl+F: to the search field, its text selected, from anywhere in the window.
    auto* find = new QShortcut(QKeySequence(tr("Ctrl+F")), this);
    find->setObjectName(QStringLiteral("ID_FIND"));
    connect(find, &QShortcut::activated, this, [this] {
        searchBar->setFocus(Qt::ShortcutFocusReason);
        searchBar->selectAll();
    });
    connect(options, &QAction::triggered, this, &CMonitorDlg::OnOptions);
    connect(exit, &QAction::triggered, this, &CMonitorDlg::OnExit);

    trayMenu = new QMenu(this);
    trayMenu->setObjectName(Ids::TrayMenu.objectName);
    trayShowAction = trayMenu->addAction(tr("&show"));
    trayShowAction->setObjectName(Ids::CmdShow.objectName);
    QAction* trayOptions = trayMenu->addAction(tr("&options..."));
    trayOptions->setObjectName(Ids::CmdOptions.objectName);
    trayMenu->addSeparator();
    QAction* trayExit = trayMenu->addAction(tr("e&xit"));
    trayExit->setObjectName(Ids::CmdExit.objectName);
    connect(trayShowAction, &QAction::triggered, this, &CMonitorDlg::ToggleWindow);
    connect(trayOptions, &QAction::triggered, this, &CMonitorDlg::OnOptions);
    connect(trayExit, &QAction::triggered, this, &CMonitorDlg::OnExit);
    connect(trayMenu, &QMenu::aboutToShow, this, &CMonitorDlg::UpdateTrayMenuText);
}

void CMonitorDlg::ShowStorageState(bool writable, const std::string& text) {
    storageText = writable ? QString() : QString::fromStdString(text);
    UpdateTrayToolTip();
}

void CMonitorDlg::SetLineStatus(const LineStatus& status) {
    const bool wasDown = LineDown(lineStatus);
    lineStatus = status;
    ShowLineStatus();
    if (trayIcon != nullptr && LineDown(status) != wasDown)
        trayIcon->setIcon(LineDown(status) ? LineDownIcon(appIcon) : appIcon);
}

void CMonitorDlg::ShowLineStatus() {
    // One line as ever; several each with its own state.
    lineStatusLabel->setText(linesInUse.size() > 1
                                 ? LineStatusesText(SourceStatuses(), core.Now())
                                 : LineStatusText(lineStatus, core.Now()));
    UpdateStatusBar();
}

void CMonitorDlg::OnLineReport(const LineReport& report) {
    LineStatus& source = lineStatuses[report.source];
    source = LineStatusAfter(source, report, core.Now());
    SetLineStatus(WorstLineStatus(StatusesInUse()));
}

std::map<std::string, LineStatus> CMonitorDlg::StatusesInUse() const {
    if (linesInUse.empty())
        return lineStatuses;
    std::map<std::string, LineStatus> inUse;
    for (const MonitorCore::LineInUse& line : linesInUse)
        if (const auto found = lineStatuses.find(line.source); found != lineStatuses.end())
            inUse.insert(*found);
    return inUse;
}

std::vector<SourceLineStatus> CMonitorDlg::SourceStatuses() const {
    std::vector<SourceLineStatus> sources;
    for (const MonitorCore::LineInUse& line : linesInUse) {
        const auto found = lineStatuses.find(line.source);
        sources.push_back({LineSourceLabel(line.name, line.where),
                           found != lineStatuses.end() ? found->second : LineStatus()});
    }
    return sources;
}

void CMonitorDlg::TakeLinesInUse() {
    linesInUse = core.LinesInUse();
    lineStatuses.clear();
    SetLineStatus(LineStatus());
}

void CMonitorDlg::SetOutputStatuses(const std::vector<OutputStatus>& statuses) {
    outputStatusText = OutputStatusText(statuses);
    std::vector<OutputStatus> failing;
    std::copy_if(statuses.begin(), statuses.end(), std::back_inserter(failing),
                 [](const OutputStatus& status) { return status.health == OutputHealth::Failing; });
    failingOutputsText = OutputStatusText(failing);
    // One line in the bar; each output on its own line in the label's tooltip.
    outputStatusLabel->setText(QString(outputStatusText).replace(QLatin1Char('\n'),
                                                                 QStringLiteral(" \u00b7 ")));
    outputStatusLabel->setToolTip(outputStatusText);
    UpdateStatusBar();
}

void CMonitorDlg::UpdateStatusBar() {
    statusBar->setVisible(!lineStatusLabel->text().isEmpty() || !outputStatusText.isEmpty());
    UpdateTrayToolTip();
}

void CMonitorDlg::UpdateTrayToolTip() {
    if (trayIcon == nullptr)
        return;
    // The tooltip keeps its plain text while all is well and adds what needs the user: a line
    // that does not work, a failing output, files that cannot be written.
    QString tip = TrayToolTip;
    const QString lineText = linesInUse.size() > 1 ? LineTroubleText(SourceStatuses(), core.Now())
                             : LineDown(lineStatus) ? LineStatusText(lineStatus, core.Now())
                                                    : QString();
    for (const QString& line : {lineText, failingOutputsText, storageText})
        if (!line.isEmpty())
            tip += QStringLiteral("\n") + line;
    trayIcon->setToolTip(tip);
}

void CMonitorDlg::CreateTrayIcon() {
    trayIcon = new QSystemTrayIcon(appIcon, this);
    trayIcon->setObjectName(Ids::TrayIcon.objectName);
    trayIcon->setToolTip(TrayToolTip);
    if (LineDown(lineStatus))
        trayIcon->setIcon(LineDownIcon(appIcon));
    UpdateTrayToolTip();
    trayIcon->setContextMenu(trayMenu);
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // One click, as other tray icons; a double click's first click has toggled
                // already, so the second leaves the window as the first left it.
                if (reason == QSystemTrayIcon::Trigger)
                    ToggleWindow();
            });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        trayIcon->show();
}

void CMonitorDlg::UpdateTrayMenuText() {
    bool shown = isVisible() && !isMinimized();
    trayShowAction->setText(shown ? tr("&Hide") : tr("&Show"));
}

void CMonitorDlg::MoveToStoredRect() {
    int32_t rect[4];
    {
        const auto settings = core.settings.Read();
        std::copy(std::begin(settings->windowRect), std::end(settings->windowRect), rect);
    }
    Settings defaults;
    SetDefaultSettings(defaults);
    const QSize defaultSize(defaults.windowRect[2] - defaults.windowRect[0],
                            defaults.windowRect[3] - defaults.windowRect[1]);
    QList<QRect> screens;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        screens.append(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            screens.append(screen->availableGeometry());
    // A damaged or foreign rectangle must not open the window off every screen or larger
    // than them; the settings keep it until they are saved again.
    QRect place = StartWindowRect(StoredWindowRect(rect), screens, defaultSize);
    std::error_code error;
    if (!std::filesystem::exists(SettingsFilePath(), error)) {
        // A first start opens wide enough for its columns whole (they are measured in the
        // desktop's font), without a horizontal scroll bar, on the screen.
        const CListViewEx* view = CallView();
        int columns = 0;
        for (int column = 0; column < view->columnCount(); ++column)
            columns += view->columnWidth(column);
        const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
        constexpr int listMargins = 10, frameAllowance = 16;
        int wanted = columns + 2 * view->frameWidth() + scrollBar + listMargins + frameAllowance;
        if (!screens.isEmpty())
            wanted = std::min(wanted, screens.first().width());
        if (wanted > place.width()) {
            place.setWidth(wanted);
            if (!screens.isEmpty() && place.right() > screens.first().right())
                place.moveRight(screens.first().right());
        }
    }
    move(place.topLeft());
    resize(place.size());
    storedFrameSize = place.size();
}

void CMonitorDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The stored rectangle includes the frame, whose size is known only once the window
    // manager has framed the window: correct the size as soon as it is, once, so the window
    // does not grow by a frame at every start.
    CorrectForFrame();
    for (int delay : {0, 100, 500})
        QTimer::singleShot(delay, this, &CMonitorDlg::CorrectForFrame);
}

void CMonitorDlg::CorrectForFrame() {
    if (frameCorrected || !storedFrameSize.isValid() || !isVisible())
        return;
    QSize frame = frameGeometry().size() - size();
    if (frame.width() <= 0 && frame.height() <= 0)
        return;
    frameCorrected = true;
    resize(storedFrameSize - frame);
}

void CMonitorDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    const bool hide = core.settings.Read()->hideWhenMinimized != 0;
    // Without a tray icon a hidden window could never be brought back.
    if (hide && trayAvailable)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                this->hide();
        });
}

void CMonitorDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    SaveWindowState();
    showMinimized();
    const bool hide = core.settings.Read()->hideWhenMinimized != 0;
    // The first time the window goes into the tray, say where it went and that calls are
    // still watched; a closed window otherwise looks like an ended program.
    if (hide && trayAvailable && !ReadWindowFlag(CloseNoticeKey)) {
        WriteWindowFlag(CloseNoticeKey, true);
        const QString title = tr("TAVO is still running");
        const QString text = tr("TAVO watches the line in the tray. Click its icon to show the "
                                "window; \"exit\" in its menu ends TAVO.");
        if (showTrayMessage)
            showTrayMessage(title, text);
        else if (trayIcon != nullptr)
            trayIcon->showMessage(title, text, appIcon);
    }
}

void CMonitorDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void CMonitorDlg::OnHideTimer() {
    // One look after the minimized start: hide the window if it is still minimized. Waiting on
    // would undo the first "Show", as the minimized window may already be hidden by then.
    hideTimer->stop();
    if (isVisible() && isMinimized())
        hide();
}

void CMonitorDlg::SelectToday() {
    dayList->SelectToday();
    if (statistics != nullptr && statistics->isVisible())
        statistics->Refresh();
}

void CMonitorDlg::OnCallListDoubleClick() {
    if (!dayList->HasSelection()) {
        // The message box shows the text as Latin-1, which holds every German letter.
        ShowMessage(tr("You must select an item !").toLatin1().toStdString());
        return;
    }
    CallRecord* record = dayList->SelectedRecord();
    if (record == nullptr)
        return;
    EditPhoneBookEntry(record->value);
}

void CMonitorDlg::EditPhoneBookEntry(const OptText& calling) {
    // The dialog edits a copy: the lists' lock is not held while it is up, and the entry is
    // written back (or appended) under it afterwards.
    const std::string key = TextOf(calling);
    std::optional<DirectoryEntry> found;
    {
        const auto lists = core.lists.Read();
        if (const DirectoryEntry* entry = lists->phoneBook.findByKey(key))
            found = *entry;
    }
    DirectoryEntry edited = found.value_or(DirectoryEntry{});
    if (!found)
        edited.key = calling;
    CEditDataDlg dialog(edited, false, this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (accepted) {
        const auto lists = core.lists.Write();
        if (DirectoryEntry* entry = lists->phoneBook.findByKey(key)) {
            entry->key = edited.key;
            entry->value = edited.value;
            entry->speakText = edited.speakText;
        } else {
            lists->phoneBook.append(edited);
        }
    }
    if (accepted || found)
        dayList->FillDayList();
    // A failed save is told once the lock is released: the box must not hold up the readers.
    bool saved = false;
    {
        const auto lists = core.lists.Read();
        saved = SaveListFile(lists->phoneBook, "names.dat");
    }
    if (!saved)
        TellDirectoryNotSaved("names.dat");
}

void CMonitorDlg::OnNotificationAction(const std::string& action, const CallEvent& call) {
    ShowWindow();
    if (action == AddToPhoneBookAction) {
        // The book may have the number by now (an entry made since the notification showed).
        bool canAdd = false;
        {
            const auto lists = core.lists.Read();
            canAdd = CanAddToPhoneBook(call.number, lists->phoneBook);
        }
        if (canAdd) {
            EditPhoneBookEntry(call.number);
            return;
        }
    }
    // The call's date, when it is one of the tabs; its calls rather than a search's rows.
    const int tab = dayList->DayTabOf(call.time);
    if (tab < 0)
        return;
    searchBar->clear();
    dayList->DayTabs()->setCurrentIndex(tab);
}

void CMonitorDlg::ShowWindow() {
    hideTimer->stop();
    // A maximised window comes back maximised, with the day or search it showed.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void CMonitorDlg::ToggleWindow() {
    if (isMinimized() || !isVisible()) {
        ShowWindow();
        return;
    }
    const bool hide = core.settings.Read()->hideWhenMinimized != 0;
    if (hide && trayAvailable)
        this->hide();
    else
        showMinimized();
}

void CMonitorDlg::SaveWindowState() {
    {
        const std::array<int, 4> widths = dayList->ColumnWidths();
        const auto settings = core.settings.Write();
        settings->colWidthDateTime = widths[0];
        settings->colWidthTo = widths[1];
        settings->colWidthWho = widths[2];
        settings->colWidthCount = widths[3];
        if (isVisible()) {
            // A maximised window keeps the rectangle it comes back to when restored.
            QRect frame = frameGeometry();
            if (isMaximized() && normalGeometry().isValid())
                frame = normalGeometry().marginsAdded(
                    QMargins(geometry().left() - frame.left(), geometry().top() - frame.top(),
                             frame.right() - geometry().right(),
                             frame.bottom() - geometry().bottom()));
            settings->windowRect[0] = frame.left();
            settings->windowRect[1] = frame.top();
            settings->windowRect[2] = frame.left() + frame.width();
            settings->windowRect[3] = frame.top() + frame.height();
        }
    }
    if (isVisible())
        WriteWindowFlag(MaximizedKey, isMaximized());
    core.SaveSettingsNow();
}

void CMonitorDlg::OnOptions() {
    if (runOptionsSheet)
        runOptionsSheet();
    else
        RunOptionsSheet();
}

bool CMonitorDlg::RunOptionsSheet() {
    OptionsContext context(core.settings, core.lists);
    context.dialogs.editEntry = [](QWidget* parent, DirectoryEntry& entry, bool hideSpeakText) {
        CEditDataDlg dialog(entry, hideSpeakText, parent);
        return dialog.exec() == QDialog::Accepted;
    };
    OptionsFollowUp followUp;
    followUp.showFirstDay = [this] { SelectToday(); };
    followUp.saveWindowState = [this] { SaveWindowState(); };
    followUp.speechEngine = core.SpeechEngine();
    followUp.telnetServer = core.Telnet();
    OutputSettings outputSettings = core.CurrentOutputSettings();
    context.outputSettings = &outputSettings;
    if (CallScreening* screening = core.Screening()) {
        context.rulesFile = screening->Path();
        context.country = screening->Country();
        context.rulesSaved = [screening] { screening->Reread(); };
    }
    followUp.applyOutputSettings = [this, &outputSettings] {
        core.SaveOutputSettings(outputSettings);
    };
    const TavoConfLoad conf = LoadTavoConf(TavoConfPath());
    LineSettings lineSettings = ReadLineSettings(conf.conf);
    // A file that cannot be read is not written over: the page shows the defaults greyed.
    if (conf.ok)
        context.lineSettings = &lineSettings;
    context.linesFromCommandLine = core.LinesFromCommandLine();
    followUp.applyLineSettings = [this, &lineSettings, shown = lineSettings] {
        // OK without a change leaves the lines open as they are.
        if (lineSettings == shown)
            return;
        core.SaveLineSettings(lineSettings);
        if (!core.LinesFromCommandLine())
            TakeLinesInUse();
    };
    return RunOptionsCommand(this, context, followUp);
}

void CMonitorDlg::RepeatCountChanged(const CallRecord& record) {
    dayList->ShowRepeatCount(record);
}

void CMonitorDlg::ShowPopup(const std::string& text, CallRecord& record) {
    CallPopup::Context context{core.settings, core.Sound(), [this] {
                                        showNormal();
                                        raise();
                                        activateWindow();
                                    }};
    CallPopup::Start(this, context, text, record);
}

void CMonitorDlg::BeepMelody() {
    core.Sound().PlayBeepMelody();
}

void CMonitorDlg::Speak(const std::string& text) {
    core.SpeakText(text);
}

void CMonitorDlg::OnExit() {
    SaveWindowState();
    QCoreApplication::exit(0); // quit() would ask the windows, and this one never closes
}

void CMonitorDlg::EndSession() {
    if (sessionEnded)
        return;
    sessionEnded = true;
    core.EndSession();
    if (trayIcon != nullptr)
        trayIcon->hide();
    dayTimer->stop();
    hideTimer->stop();
    QCoreApplication::exit(0); // quit() would ask the windows, and this one never closes
}

QTabBar* CMonitorDlg::DayTabs() const {
    return dayList->DayTabs();
}

CListViewEx* CMonitorDlg::CallView() const {
    return dayList->CallView();
}

void CMonitorDlg::ShowSearchResults(const SearchResult& result, const QStringList& places,
                                    const QString& query) {
    dayList->ShowSearchRows(result.rows, places);
    const QLocale locale;
    const QString count =
        result.matches == 1
            ? tr("1 call matches \"%1\"").arg(query)
            : tr("%1 calls match \"%2\"").arg(locale.toString(qulonglong(result.matches)), query);
    const QString shown = result.matches > result.rows.size()
                              ? tr(", the newest %1 shown")
                                    .arg(locale.toString(qulonglong(result.rows.size())))
                              : QString();
    dayList->ShowSearchHeading(count + shown);
    searchBar->setToolTip(count + shown);
}

void CMonitorDlg::OnAreaCodes() {
    if (OfferAreaCodes(this, core, StandardAreaCodeQuestions()))
        dayList->FillDayList();
}

void CMonitorDlg::OnStatistics() {
    if (statistics == nullptr)
        statistics = new CStatisticsDlg(core, this);
    else
        statistics->Refresh();
    statistics->show();
    statistics->raise();
    statistics->activateWindow();
}
