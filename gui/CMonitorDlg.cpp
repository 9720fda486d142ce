#include "gui/CMonitorDlg.h"

#include "gui/AreaCodesMenu.h"
#include "gui/CStatisticsDlg.h"
#include "gui/CallSearchBar.h"

#include "data/ListFile.h"
#include "gui/CDisplayThread.h"
#include "gui/CEditDataDlg.h"
#include "gui/CListViewEx.h"
#include "gui/DialogUnits.h"
#include "gui/ResourceIds.h"
#include "gui/options/COptionCommand.h"
#include "platform/ShowMessage.h"
#include "platform/SoundSink.h"
#include "platform/Version.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <mutex>

namespace {

constexpr int RecordRole = Qt::UserRole;

CallRecord* RecordOf(const QTreeWidgetItem* item) {
    return reinterpret_cast<CallRecord*>(item->data(0, RecordRole).value<quintptr>());
}

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

} // namespace

QString MonitorWindowTitle() {
    return QString::fromLatin1(TavoTitle);
}

QIcon MonitorAppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
        // A handset lying on its cradle: the usual picture for "telephone".
        painter.setPen(QPen(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        QRectF arc(size * 0.18, size * 0.22, size * 0.64, size * 0.5);
        painter.drawArc(arc, 20 * 16, 140 * 16);
        painter.setBrush(Qt::white);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(size * 0.25, size * 0.52, size * 0.5, size * 0.3),
                                size / 16.0, size / 16.0);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
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
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    layout->addWidget(client, 1);
    searchBar = new CallSearchBar(core, this);
    layout->insertWidget(0, searchBar);
    connect(searchBar, &CallSearchBar::ResultsReady, this, &CMonitorDlg::ShowSearchResults);
    connect(searchBar, &CallSearchBar::Cleared, this, &CMonitorDlg::FillDayList);
    CreateMenus();
    layout->setMenuBar(findChild<QMenuBar*>(Ids::MainMenu.objectName));

    dayTabs = new QTabBar(client);
    dayTabs->setObjectName(Ids::DayTabs.objectName);
    dayTabs->setExpanding(false);
    dayTabs->setDrawBase(true);
    callView = new CListViewEx(client);
    callView->setObjectName(Ids::CallView.objectName);
    callView->setWordWrap(false);
    callView->setColumnCount(0);

    client->installEventFilter(this);
    callView->viewport()->installEventFilter(this);
    connect(dayTabs, &QTabBar::currentChanged, this, [this](int) { RefreshSelectedDay(); });

    hideTimer = new QTimer(this);
    hideTimer->setInterval(100);
    connect(hideTimer, &QTimer::timeout, this, &CMonitorDlg::OnHideTimer);
    dayTimer = new QTimer(this);
    dayTimer->setInterval(1000);
    connect(dayTimer, &QTimer::timeout, this, &CMonitorDlg::RebuildDayTabs);

    DialogUnits du(font());
    resize(du.X(250), du.Y(172));
    trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    core.SetAnnouncer(this);
}

CMonitorDlg::~CMonitorDlg() {
    // The listener hands its calls to this window: it must be gone before the window is.
    core.Shutdown();
    core.SetAnnouncer(nullptr);
    if (trayIcon != nullptr)
        trayIcon->hide();
}

void CMonitorDlg::StartUp() {
    setWindowIcon(appIcon);
    core.LoadData();
    CreateColumns();
    callView->SetFullRowSelect(true);
    core.StartCallCapture([this](const IncomingCallNotice& notice) {
        if (QThread::currentThread() == thread()) {
            core.OnIncomingCall(notice);
            return;
        }
        // Like a sent window message: the listener waits until the call has been handled.
        QMetaObject::invokeMethod(
            this, [this, &notice] { core.OnIncomingCall(notice); }, Qt::BlockingQueuedConnection);
    });
    CreateTrayIcon();
    MoveToStoredRect();
    RebuildDayTabs();
    FillDayList();
    core.StartSpeech();
    bool startMinimized, hideWhenMinimized;
    {
        std::lock_guard lock(SettingsMutex());
        startMinimized = core.settings.startMinimized != 0;
        hideWhenMinimized = core.settings.hideWhenMinimized != 0;
    }
    if (startMinimized) {
        showMinimized();
        if (hideWhenMinimized && trayAvailable)
            hideTimer->start();
    }
    dayTimer->start();
    setWindowTitle(MonitorWindowTitle());
    core.StartTelnet();
}

void CMonitorDlg::ShowAsStarted() {
    if (!isVisible())
        show();
}

void CMonitorDlg::CreateColumns() {
    std::lock_guard lock(SettingsMutex());
    callView->setColumnCount(3);
    callView->setHeaderLabels(
        {QStringLiteral("date/time"), QStringLiteral("to"), QStringLiteral("who")});
    callView->header()->setStretchLastSection(false);
    callView->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    callView->setColumnWidth(0, core.settings.colWidthDateTime);
    callView->setColumnWidth(1, core.settings.colWidthTo);
    callView->setColumnWidth(2, core.settings.colWidthWho);
}

void CMonitorDlg::CreateMenus() {
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(Ids::MainMenu.objectName);
    QMenu* system = menuBar->addMenu(QStringLiteral("System"));
    system->setObjectName(Ids::SystemMenu.objectName);
    QAction* options = system->addAction(QStringLiteral("options..."));
    options->setObjectName(Ids::CmdOptions.objectName);
    QAction* areaCodesAction = system->addAction(QStringLiteral("area codes..."));
    areaCodesAction->setObjectName(QStringLiteral("ID_AREACODES"));
    connect(areaCodesAction, &QAction::triggered, this, &CMonitorDlg::OnAreaCodes);
    QAction* statisticsAction = system->addAction(QStringLiteral("statistics..."));
    statisticsAction->setObjectName(QStringLiteral("ID_STATISTICS"));
    connect(statisticsAction, &QAction::triggered, this, &CMonitorDlg::OnStatistics);
    system->addSeparator();
    QAction* exit = system->addAction(QStringLiteral("exit"));
    exit->setObjectName(Ids::CmdExit.objectName);
    connect(options, &QAction::triggered, this, &CMonitorDlg::OnOptions);
    connect(exit, &QAction::triggered, this, &CMonitorDlg::OnExit);

    trayMenu = new QMenu(this);
    trayMenu->setObjectName(Ids::TrayMenu.objectName);
    trayShowAction = trayMenu->addAction(QStringLiteral("show"));
    trayShowAction->setObjectName(Ids::CmdShow.objectName);
    QAction* trayOptions = trayMenu->addAction(QStringLiteral("options..."));
    trayOptions->setObjectName(Ids::CmdOptions.objectName);
    trayMenu->addSeparator();
    QAction* trayExit = trayMenu->addAction(QStringLiteral("exit"));
    trayExit->setObjectName(Ids::CmdExit.objectName);
    connect(trayShowAction, &QAction::triggered, this, &CMonitorDlg::ToggleWindow);
    connect(trayOptions, &QAction::triggered, this, &CMonitorDlg::OnOptions);
    connect(trayExit, &QAction::triggered, this, &CMonitorDlg::OnExit);
    connect(trayMenu, &QMenu::aboutToShow, this, &CMonitorDlg::UpdateTrayMenuText);
}

void CMonitorDlg::CreateTrayIcon() {
    trayIcon = new QSystemTrayIcon(appIcon, this);
    trayIcon->setObjectName(Ids::TrayIcon.objectName);
    trayIcon->setToolTip(QStringLiteral("TAVO Version 1.01"));
    trayIcon->setContextMenu(trayMenu);
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    ToggleWindow();
            });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        trayIcon->show();
}

void CMonitorDlg::UpdateTrayMenuText() {
    bool shown = isVisible() && !isMinimized();
    trayShowAction->setText(shown ? QStringLiteral("Hide") : QStringLiteral("Show"));
}

void CMonitorDlg::MoveToStoredRect() {
    int32_t rect[4];
    {
        std::lock_guard lock(SettingsMutex());
        std::copy(std::begin(core.settings.windowRect), std::end(core.settings.windowRect), rect);
    }
    int width = rect[2] - rect[0];
    int height = rect[3] - rect[1];
    move(rect[0], rect[1]);
    // A damaged rectangle keeps the template's size rather than making the window vanish.
    if (width > 0 && height > 0) {
        resize(width, height);
        storedFrameSize = QSize(width, height);
    }
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

void CMonitorDlg::LayOutClient() {
    int width = client->width();
    int height = client->height();
    dayTabs->setGeometry(0, 0, width, height);
    callView->setGeometry(5, 30, width - 10, height - 35);
    callView->raise(); // the tab control must never cover the list
}

bool CMonitorDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client && event->type() == QEvent::Resize)
        LayOutClient();
    if (watched == callView->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // After the list has handled the clicks, so the row under the mouse is selected.
        QMetaObject::invokeMethod(this, &CMonitorDlg::OnCallListDoubleClick, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void CMonitorDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized())
        return;
    bool hide;
    {
        std::lock_guard lock(SettingsMutex());
        hide = core.settings.hideWhenMinimized != 0;
    }
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
    if (isVisible()) {
        hide();
        hideTimer->stop();
    }
}

void CMonitorDlg::RebuildDayTabs() {
    std::time_t now = core.Now();
    int32_t start = LocalDayStart(now);
    if (start == todayStart)
        return;
    todayStart = start;
    {
        QSignalBlocker block(dayTabs);
        while (dayTabs->count() > 0)
            dayTabs->removeTab(0);
        for (const DayTab& tab : BuildDayTabs(now)) {
            int index = dayTabs->addTab(Latin1(tab.caption));
            dayTabs->setTabData(index, QVariant(qint64(tab.dayStart)));
        }
        selectedDayStart = todayStart;
        dayTabs->setCurrentIndex(0);
    }
    FillDayList();
}

void CMonitorDlg::FillDayList() {
    // While a search is shown, a change of the history searches again instead.
    if (searchBar->Active()) {
        searchBar->Refresh();
        if (statistics != nullptr)
            statistics->Refresh();
        return;
    }
    if (statistics != nullptr && statistics->isVisible())
        statistics->Refresh();
    std::vector<DayRow> rows;
    {
        std::lock_guard lock(ListsMutex());
        rows = BuildDayRows(core.callList, core.msnList, core.phoneBook, core.areaCodes,
                            selectedDayStart);
    }
    callView->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows.size()));
    for (const DayRow& row : rows) {
        auto* item = new QTreeWidgetItem(
            QStringList{Latin1(row.timeText), Latin1(row.toText), Latin1(row.whoText)});
        item->setData(0, RecordRole, QVariant::fromValue(quintptr(row.record)));
        items.append(item);
    }
    callView->addTopLevelItems(items);
}

void CMonitorDlg::RefreshSelectedDay() {
    int index = dayTabs->currentIndex();
    if (index < 0)
        return;
    QVariant value = dayTabs->tabData(index);
    if (!value.isValid())
        return;
    selectedDayStart = int32_t(value.toLongLong());
    FillDayList();
}

void CMonitorDlg::SelectToday() {
    {
        QSignalBlocker block(dayTabs);
        dayTabs->setCurrentIndex(0);
    }
    RefreshSelectedDay();
}

void CMonitorDlg::OnCallListDoubleClick() {
    QList<QTreeWidgetItem*> selected = callView->selectedItems();
    if (selected.isEmpty()) {
        ShowMessage("You must select an item !");
        return;
    }
    CallRecord* record = RecordOf(selected.first());
    if (record == nullptr)
        return;
    OptText calling = record->value;
    DirectoryEntry* entry;
    {
        std::lock_guard lock(ListsMutex());
        entry = core.phoneBook.findByKey(TextOf(calling));
    }
    if (entry != nullptr) {
        CEditDataDlg dialog(*entry, false, this);
        dialog.exec();
        FillDayList();
    } else {
        DirectoryEntry fresh;
        fresh.key = calling;
        CEditDataDlg dialog(fresh, false, this);
        if (dialog.exec() == QDialog::Accepted) {
            {
                std::lock_guard lock(ListsMutex());
                core.phoneBook.append(fresh);
            }
            FillDayList();
        }
    }
    std::lock_guard lock(ListsMutex());
    SaveListFile(core.phoneBook, "names.dat");
}

void CMonitorDlg::ToggleWindow() {
    if (isMinimized() || !isVisible()) {
        showNormal();
        raise();
        activateWindow();
        return;
    }
    bool hide;
    {
        std::lock_guard lock(SettingsMutex());
        hide = core.settings.hideWhenMinimized != 0;
    }
    if (hide && trayAvailable)
        this->hide();
    else
        showMinimized();
}

void CMonitorDlg::SaveWindowState() {
    {
        std::lock_guard lock(SettingsMutex());
        QHeaderView* header = callView->header();
        auto width = [header](int column) {
            return column < header->count() ? header->sectionSize(column) : 0;
        };
        core.settings.colWidthDateTime = width(0);
        core.settings.colWidthTo = width(1);
        core.settings.colWidthWho = width(2);
        core.settings.colWidthCount = width(3);
        if (isVisible()) {
            QRect frame = frameGeometry();
            core.settings.windowRect[0] = frame.left();
            core.settings.windowRect[1] = frame.top();
            core.settings.windowRect[2] = frame.left() + frame.width();
            core.settings.windowRect[3] = frame.top() + frame.height();
        }
    }
    core.SaveSettingsNow();
}

void CMonitorDlg::OnOptions() {
    if (runOptionsSheet)
        runOptionsSheet();
    else
        RunOptionsSheet();
}

bool CMonitorDlg::RunOptionsSheet() {
    OptionsContext context(core.settings, core.phoneBook, core.msnList);
    context.dialogs.editEntry = [](QWidget* parent, DirectoryEntry& entry, bool hideSpeakText) {
        CEditDataDlg dialog(entry, hideSpeakText, parent);
        return dialog.exec() == QDialog::Accepted;
    };
    OptionsFollowUp followUp;
    followUp.showFirstDay = [this] { SelectToday(); };
    followUp.saveWindowState = [this] { SaveWindowState(); };
    followUp.speechEngine = core.SpeechEngine();
    followUp.telnetServer = core.Telnet();
    return RunOptionsCommand(this, context, followUp);
}

void CMonitorDlg::RepeatCountChanged(const CallRecord& record) {
    // The count goes to a fourth cell that the three columns never show, as it always did.
    for (int i = 0; i < callView->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = callView->topLevelItem(i);
        if (RecordOf(item) == &record) {
            item->setText(3, QString::number(record.repeatCount));
            return;
        }
    }
}

void CMonitorDlg::ShowPopup(const std::string& text, CallRecord& record) {
    CDisplayThread::Context context{core.settings, core.Sound(), [this] {
                                        showNormal();
                                        raise();
                                        activateWindow();
                                    }};
    CDisplayThread::Start(this, context, text, record);
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

void CMonitorDlg::ShowSearchResults(const SearchResult& result, const QString& query) {
    callView->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(result.rows.size()));
    for (const SearchRow& row : result.rows)
        items.append(new QTreeWidgetItem(
            QStringList{Latin1(row.timeText), Latin1(row.toText), Latin1(row.whoText)}));
    callView->addTopLevelItems(items);
    searchBar->setToolTip(
        QStringLiteral("%1 calls match \"%2\"%3")
            .arg(result.matches)
            .arg(query)
            .arg(result.matches > result.rows.size()
                     ? QStringLiteral(", the newest %1 shown").arg(result.rows.size())
                     : QString()));
}

void CMonitorDlg::OnAreaCodes() {
    if (OfferAreaCodes(this, core, StandardAreaCodeQuestions()))
        FillDayList();
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
