#include "FakeLineServer.h"
#include "capi/CCAPIAccess.h"
#include "data/ListFile.h"
#include "gui/CListViewEx.h"
#include "gui/CMonitorApp.h"
#include "gui/CMonitorDlg.h"
#include "core/CallScreening.h"
#include "gui/CStatisticsDlg.h"
#include "gui/CallSearchBar.h"
#include "gui/InstanceHandOver.h"
#include "outputs/CallEvent.h"
#include "gui/DayListWidget.h"
#include "gui/ResourceIds.h"
#include "platform/DataDirectory.h"
#include "platform/FileBytes.h"
#include "platform/ShowMessage.h"
#include "platform/SoundSink.h"
#include "platform/TerminationSignals.h"
#include "settings/LineSettings.h"
#include "settings/TavoConf.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <functional>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Europe/Berlin local times (see TestTimeZone.cpp) as seconds since 1970.
constexpr int32_t Feb06Midnight = 949791600; // Sun 2000-02-06 00:00
constexpr int32_t Feb07Midnight = 949878000; // Mon 2000-02-07 00:00
constexpr int32_t Feb07Noon = 949921200;     // Mon 2000-02-07 12:00
constexpr int32_t Feb08Midnight = 949964400; // Tue 2000-02-08 00:00

DirectoryEntry Entry(const std::string& key, const std::string& name) {
    DirectoryEntry entry;
    entry.key = key;
    entry.value = name;
    entry.speakText = "";
    return entry;
}

CallRecord Call(int32_t time, const std::string& msn, const std::string& caller) {
    CallRecord record;
    record.callTime = time;
    record.hasTime = true;
    record.key = msn;
    record.value = caller;
    record.cipValue = 1;
    record.repeatCount = 1;
    return record;
}

// Runs `action` on the next modal dialog once it is up (inside its own event loop).
void OnNextModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

} // namespace

class MonitorWindow : public ::testing::Test {
protected:
    QTemporaryDir temp;
    std::time_t now = Feb07Noon;
    std::unique_ptr<MonitorCore> core;
    std::unique_ptr<CMonitorDlg> window;

    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        std::string base = temp.path().toStdString();
        setenv("HOME", base.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (base + "/share").c_str(), 1);
        ASSERT_EQ(EnterDataDirectory(base + "/data"), "");
        InstallMessageBoxHandler();
    }
    void TearDown() override {
        window.reset();
        core.reset();
        StopWatchingTerminationSignals();
        SetMessageHandler({});
        // "exit" and the end of the session tell every event loop to end, and a loop started
        // later would end at once; running the application's loop briefly clears that.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        ASSERT_EQ(chdir("/"), 0);
    }

    std::string DataFile(const char* name) { return temp.path().toStdString() + "/data/" + name; }

    void StoreSettings(const std::function<void(Settings&)>& change) {
        Settings settings;
        SetDefaultSettings(settings);
        change(settings);
        ASSERT_TRUE(SaveSettings(settings));
    }
    void StoreCalls(const std::vector<CallRecord>& calls) {
        CallList list;
        for (const CallRecord& call : calls)
            list.append(call);
        ASSERT_TRUE(SaveListFile(list, DataFile("caller.his")));
    }
    void StorePhoneBook(const std::vector<DirectoryEntry>& entries) {
        Directory list;
        for (const DirectoryEntry& entry : entries)
            list.append(entry);
        ASSERT_TRUE(SaveListFile(list, DataFile("names.dat")));
    }

    // The simulated line stays quiet: no CAPI, no calls.
    void Start(bool trayAvailable = false, LineKind line = LineKind::Sim) {
        CommandLine options;
        options.line = line;
        core = std::make_unique<MonitorCore>(
            options, [this] { return now; }, std::make_unique<SilentSoundSink>());
        window = std::make_unique<CMonitorDlg>(*core);
        window->SetTrayAvailable(trayAvailable);
        window->StartUp();
        window->ShowAsStarted();
        QApplication::processEvents();
    }

    QStringList Captions() const {
        QStringList captions;
        for (int i = 0; i < window->DayTabs()->count(); ++i)
            captions << window->DayTabs()->tabText(i);
        return captions;
    }
    QStringList Column(int column) const {
        QStringList texts;
        QTreeWidget* view = window->CallView();
        for (int i = 0; i < view->topLevelItemCount(); ++i)
            texts << view->topLevelItem(i)->text(column);
        return texts;
    }
    void WriteTavoConf(const std::string& text) {
        const std::string path = TavoConfPath();
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << text;
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    }
    // "options...", the line page changed by `change`, then OK.
    void ChangeLines(const std::function<void(QWidget* page)>& change) {
        OnNextModal([change](QWidget* sheet) {
            auto* tabs = sheet->findChild<QTabWidget*>("IDC_OPTION_TABS");
            tabs->setCurrentIndex(6);
            change(tabs->currentWidget());
            sheet->findChild<QPushButton*>(Ids::Ok.objectName)->click();
        });
        window->OnOptions();
    }
    size_t CallCount() const { return core->lists.Read()->callList.size(); }
    bool SettingsStored() const { return fs::exists(SettingsFilePath()); }
    Settings StoredSettings() const {
        Settings settings;
        LoadSettings(settings);
        return settings;
    }
    void DoubleClickRow(int row) {
        QTreeWidget* view = window->CallView();
        QRect rect = view->visualItemRect(view->topLevelItem(row));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

TEST_F(MonitorWindow, StartUpLoadsFilesAndTakesTheStoredLayout) {
    StoreSettings([](Settings& s) {
        s.colWidthDateTime = 111;
        s.colWidthTo = 122;
        s.colWidthWho = 133;
        s.windowRect[0] = 40;
        s.windowRect[1] = 50;
        s.windowRect[2] = 640;
        s.windowRect[3] = 450;
    });
    Start();
    for (const char* name : {"names.dat", "msn.dat", "caller.his", "areacode.lst"})
        EXPECT_TRUE(fs::exists(DataFile(name))) << name;
    QTreeWidget* view = window->CallView();
    EXPECT_EQ(view->objectName(), Ids::CallView.objectName);
    ASSERT_EQ(view->columnCount(), 3);
    EXPECT_EQ(view->headerItem()->text(0), "date/time");
    EXPECT_EQ(view->headerItem()->text(1), "to");
    EXPECT_EQ(view->headerItem()->text(2), "who");
    EXPECT_EQ(view->columnWidth(0), 111);
    EXPECT_EQ(view->columnWidth(1), 122);
    // The last column takes the rest of the width, never less than stored.
    EXPECT_GE(view->columnWidth(2), 133);
    EXPECT_EQ(view->header()->length(), view->viewport()->width());
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(40, 50));
    EXPECT_EQ(window->frameGeometry().size(), QSize(600, 400));
    EXPECT_TRUE(window->windowTitle().startsWith("TAVO --- Version 1.3.3"));
    EXPECT_EQ(window->TrayIcon()->toolTip(), "TAVO Version 1.01");
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MonitorWindow, EveryDayTabCanBeReachedAboveTheList) {
    Start();
    window->resize(300, 300); // far too narrow for eight tabs: the bar scrolls
    QApplication::processEvents();
    QTabBar* tabs = window->DayTabs();
    const QRect list = window->CallView()->geometry();
    EXPECT_LE(tabs->geometry().bottom(), list.top());
    QToolButton* right = nullptr;
    for (QToolButton* arrow : tabs->findChildren<QToolButton*>())
        if (arrow->arrowType() == Qt::RightArrow)
            right = arrow;
    ASSERT_NE(right, nullptr);
    ASSERT_TRUE(right->isVisibleTo(window.get()));
    // The arrow is above the list, not behind it, and takes the bar to the last day.
    EXPECT_FALSE(right->geometry().translated(tabs->pos()).intersects(list));
    for (int click = 0; click < 10 && right->isEnabled(); ++click)
        QTest::mouseClick(right, Qt::LeftButton);
    EXPECT_TRUE(tabs->rect().contains(tabs->tabRect(7)));
}

TEST_F(MonitorWindow, FirstStartColumnsShowWholeTextsStoredWidthsStayAsStored) {
    Directory msns;
    msns.append(Entry("5551", "Private"));
    ASSERT_TRUE(SaveListFile(msns, DataFile("msn.dat")));
    CallRecord call = Call(Feb07Midnight + 3600, "5551", "0301234567");
    call.cipValue = 16;
    StoreCalls({call});
    Start();
    const CListViewEx* view = window->CallView();
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(1), "Private/telephony");
    for (int column = 0; column < 3; ++column)
        EXPECT_EQ(view->CellAt(0, column).text, view->topLevelItem(0)->text(column)) << column;
    window.reset();
    core.reset();

    StoreSettings([](Settings& s) { s.colWidthDateTime = 40; });
    Start();
    EXPECT_EQ(window->CallView()->columnWidth(0), 40);
    EXPECT_EQ(window->CallView()->columnWidth(1), 80);
}

TEST_F(MonitorWindow, EightDayTabsRollOverAtMidnight) {
    Start();
    EXPECT_EQ(Captions(), QStringList({"Mon 07.02.2000", "Sun 06.02.2000", "Sat 05.02.2000",
                                       "Fri 04.02.2000", "Thu 03.02.2000", "Wed 02.02.2000",
                                       "Tue 01.02.2000", "Mon 31.01.2000"}));
    EXPECT_EQ(window->DayTabs()->currentIndex(), 0);
    window->DayTabs()->setCurrentIndex(3);
    EXPECT_EQ(window->DayList()->SelectedDayStart(), Feb07Midnight - 3 * 86400);

    now = Feb08Midnight - 1;
    QTest::qWait(1200);
    EXPECT_EQ(Captions().first(), "Mon 07.02.2000");
    EXPECT_EQ(window->DayTabs()->currentIndex(), 3); // the same date: nothing changes

    now = Feb08Midnight;
    QTest::qWait(1200); // the one-second day check
    EXPECT_EQ(Captions().first(), "Tue 08.02.2000");
    EXPECT_EQ(Captions().last(), "Tue 01.02.2000");
    EXPECT_EQ(window->DayTabs()->currentIndex(), 0);
    EXPECT_EQ(window->DayList()->TodayStart(), Feb08Midnight);
    EXPECT_EQ(window->DayList()->SelectedDayStart(), Feb08Midnight);
}

TEST_F(MonitorWindow, DaysListTheirCallsNewestFirst) {
    StoreCalls({Call(Feb06Midnight + 3600, "5551", "0"), Call(Feb07Midnight, "5551", "*"),
                Call(Feb07Midnight + 9 * 3600, "5551", "0301"),
                Call(Feb07Midnight + 11 * 3600, "5552", "0302")});
    Start();
    EXPECT_EQ(Column(0),
              QStringList({"2000-02-07 11:00:00", "2000-02-07 09:00:00", "2000-02-07 00:00:00"}));
    EXPECT_EQ(Column(1).first(), "5552/speech");
    EXPECT_EQ(Column(2).last(), "<< ISDN unknown >>");
    window->DayTabs()->setCurrentIndex(1); // Sunday: the midnight call belongs there too
    EXPECT_EQ(Column(0), QStringList({"2000-02-07 00:00:00", "2000-02-06 01:00:00"}));
    window->DayTabs()->setCurrentIndex(2);
    EXPECT_TRUE(Column(0).isEmpty());
}

TEST_F(MonitorWindow, ANewCallBringsTheListBackToToday) {
    StoreCalls({Call(Feb07Midnight + 3600, "5551", "0")});
    Start();
    window->DayTabs()->setCurrentIndex(2);
    IncomingCallNotice notice;
    notice.callingNumber = "0309";
    notice.calledNumber = "5551";
    notice.connectionId = 0x101;
    notice.cipValue = 16;
    core->OnIncomingCall(notice);
    EXPECT_EQ(window->DayTabs()->currentIndex(), 0);
    ASSERT_EQ(Column(0).size(), 2);
    EXPECT_EQ(Column(0).first(), "2000-02-07 12:00:00");
    EXPECT_EQ(Column(1).first(), "5551/telephony");
}

TEST_F(MonitorWindow, ARepeatedNoticeCountsInACellTheColumnsNeverShow) {
    Start();
    IncomingCallNotice notice;
    notice.callingNumber = "0";
    notice.calledNumber = "5551";
    notice.connectionId = 0x202;
    notice.cipValue = 1;
    core->OnIncomingCall(notice);
    now += 3; // within five seconds: the same call
    core->OnIncomingCall(notice);
    QTreeWidget* view = window->CallView();
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(3), "2");
    EXPECT_EQ(view->columnCount(), 3);
    EXPECT_EQ(core->lists.Read()->callList.begin()->repeatCount, 2);
}

TEST_F(MonitorWindow, OptionsSaveAndShowTodayOnlyAfterOk) {
    Start();
    window->DayTabs()->setCurrentIndex(2);
    auto* options = window->findChild<QAction*>(Ids::CmdOptions.objectName);
    ASSERT_NE(options, nullptr);
    OnNextModal(
        [](QWidget* sheet) { sheet->findChild<QPushButton*>(Ids::Cancel.objectName)->click(); });
    options->trigger();
    EXPECT_FALSE(SettingsStored());
    EXPECT_EQ(window->DayTabs()->currentIndex(), 2);

    OnNextModal(
        [](QWidget* sheet) { sheet->findChild<QPushButton*>(Ids::Ok.objectName)->click(); });
    options->trigger();
    EXPECT_TRUE(SettingsStored());
    EXPECT_EQ(window->DayTabs()->currentIndex(), 0);
}

TEST_F(MonitorWindow, TheSystemMenuOpensFromTheKeyboard) {
    Start();
    auto* system = window->findChild<QMenu*>(Ids::SystemMenu.objectName);
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->title(), "&System");
    for (auto [key, modifiers] :
         {std::pair{Qt::Key_S, Qt::AltModifier}, std::pair{Qt::Key_F10, Qt::NoModifier}}) {
        window->activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 2000);
        QTest::keyClick(window.get(), key, modifiers);
        QTRY_VERIFY_WITH_TIMEOUT(system->isVisible(), 2000);
        system->close();
    }
}

TEST_F(MonitorWindow, ADamagedSettingsRecordOpensAWindowOnTheScreen) {
    std::string bytes(sizeof(Settings), '\x7f');
    bytes.replace(offsetof(Settings, startMinimized), 4, 4, '\0'); // to see the window
    ASSERT_TRUE(fs::create_directories(fs::path(SettingsFilePath()).parent_path()));
    ASSERT_TRUE(ReplaceFileAtomically(SettingsFilePath(), bytes, 0600));
    Start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->frameGeometry()));
    EXPECT_EQ(window->frameGeometry().width(), 450);
    EXPECT_EQ(core->settings.Read()->displaySeconds, 5);
    EXPECT_EQ(core->settings.Read()->telnetPort, 6100);
    EXPECT_LT(window->CallView()->columnWidth(0), 4000);
    // The record stays as it was until the settings are saved.
    EXPECT_EQ(ReadFileBytes(SettingsFilePath(), MissingFile::Fail).bytes, bytes);
}

TEST_F(MonitorWindow, DoubleClickWithoutASelectionAsksForOne) {
    Start();
    SetNextMessageBoxAnswer(QMessageBox::Ok);
    window->OnCallListDoubleClick();
    EXPECT_EQ(LastMessageBoxText(), "You must select an item !");
}

TEST_F(MonitorWindow, DoubleClickOnAKnownCallerEditsItAndCancelStillSaves) {
    StorePhoneBook({Entry("0301234567", "Anna")});
    StoreCalls({Call(Feb07Midnight + 3600, "5551", "0301234567")});
    Start();
    ASSERT_TRUE(fs::remove(DataFile("names.dat")));
    bool seen = false;
    OnNextModal([&](QWidget* dialog) {
        auto* number = dialog->findChild<QLineEdit*>(Ids::EditNumber.objectName);
        auto* name = dialog->findChild<QLineEdit*>(Ids::EditName.objectName);
        seen = number && name && !number->isEnabled() && number->text() == "0301234567" &&
               name->text() == "Anna";
        name->setText("changed but cancelled");
        dialog->findChild<QPushButton*>(Ids::Cancel.objectName)->click();
    });
    DoubleClickRow(0);
    QTRY_VERIFY_WITH_TIMEOUT(fs::exists(DataFile("names.dat")), 5000);
    EXPECT_TRUE(seen);
    Directory saved;
    LoadListFile(saved, DataFile("names.dat"));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.begin()->value, "Anna");
}

TEST_F(MonitorWindow, DoubleClickOnANewCallerAddsItForEveryCall) {
    StoreCalls({Call(Feb07Midnight + 3600, "5551", "0307654321"),
                Call(Feb07Midnight + 7200, "5551", "0201555"),
                Call(Feb07Midnight + 9000, "5551", "0307654321")});
    Start();
    std::string writtenBefore = std::to_string(fs::file_size(DataFile("names.dat")));
    OnNextModal([](QWidget* dialog) {
        auto* number = dialog->findChild<QLineEdit*>(Ids::EditNumber.objectName);
        EXPECT_FALSE(number->isEnabled());
        dialog->findChild<QLineEdit*>(Ids::EditName.objectName)->setText("Bernd");
        dialog->findChild<QPushButton*>(Ids::Ok.objectName)->click();
    });
    DoubleClickRow(0);
    QTRY_COMPARE_WITH_TIMEOUT(int(core->lists.Read()->phoneBook.size()), 1, 5000);
    Directory saved;
    LoadListFile(saved, DataFile("names.dat"));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved.begin()->key, "0307654321");
    EXPECT_EQ(saved.begin()->value, "Bernd");
    // No area code table here: the name, two blanks and the number unsplit.
    EXPECT_EQ(Column(2), QStringList({"Bernd  0307654321", "0201555", "Bernd  0307654321"}));
}

TEST_F(MonitorWindow, EnterAndEscapeDoNotEndTheWindow) {
    Start();
    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Return);
    QTest::keyClick(window->CallView(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->result(), 0);
}

TEST_F(MonitorWindow, CloseBoxMinimizesAndSavesTheWindowState) {
    Start();
    window->close();
    QApplication::processEvents();
    EXPECT_TRUE(window->isMinimized());
    // No tray to come back from here: the window must stay reachable.
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(SettingsStored());
}

TEST_F(MonitorWindow, MinimizingHidesIntoTheTrayWhenThereIsOne) {
    Start(true);
    window->showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 2000);
    window->ToggleWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    window->ToggleWindow(); // visible: hidden again, with hideWhenMinimized
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MonitorWindow, ToggleMinimizesWhenHidingIsSwitchedOff) {
    StoreSettings([](Settings& s) { s.hideWhenMinimized = 0; });
    Start(true);
    window->ToggleWindow();
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
    // One click on the tray icon toggles, as on other tray icons.
    emit window->TrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(window->isMinimized());
    emit window->TrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isMinimized());
    // A double click's second click leaves it as its first click left it.
    emit window->TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(window->isMinimized());
}

TEST_F(MonitorWindow, TrayMenuOffersHideOnlyForAShownWindow) {
    Start();
    QMenu* menu = window->TrayMenu();
    auto* show = menu->findChild<QAction*>(Ids::CmdShow.objectName);
    ASSERT_NE(show, nullptr);
    emit menu->aboutToShow();
    EXPECT_EQ(show->text(), "&Hide");
    window->showMinimized();
    emit menu->aboutToShow();
    EXPECT_EQ(show->text(), "&Show");
}

TEST_F(MonitorWindow, StartMinimizedLeavesOnlyTheTrayIcon) {
    StoreSettings([](Settings& s) { s.startMinimized = 1; });
    Start(true);
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 2000);
}

TEST_F(MonitorWindow, StartedMinimizedTheFirstShowShowsTheWindow) {
    StoreSettings([](Settings& s) { s.startMinimized = 1; });
    Start(true);
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 2000);
    window->TrayMenu()->findChild<QAction*>(Ids::CmdShow.objectName)->trigger();
    QTest::qWait(300); // longer than the start's hide check
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
}

TEST_F(MonitorWindow, StartMinimizedWithoutATrayStaysMinimized) {
    StoreSettings([](Settings& s) { s.startMinimized = 1; });
    Start(false);
    QTest::qWait(300);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
}

TEST_F(MonitorWindow, ExitSavesColumnWidthsAndWindowRectangle) {
    StoreSettings([](Settings&) {});
    Start();
    window->CallView()->setColumnWidth(0, 150);
    window->move(70, 80);
    window->resize(420, 300);
    QApplication::processEvents();
    window->OnExit();
    ASSERT_TRUE(SettingsStored());
    EXPECT_EQ(fs::file_size(SettingsFilePath()), 396u);
    Settings stored = StoredSettings();
    EXPECT_EQ(stored.colWidthDateTime, 150);
    EXPECT_EQ(stored.colWidthTo, 80);
    EXPECT_EQ(stored.colWidthWho, 190);
    EXPECT_EQ(stored.colWidthCount, 0); // the list has no fourth column
    // The rectangle is the outer one, frame included.
    QRect frame = window->frameGeometry();
    ASSERT_GE(frame.width(), 420);
    EXPECT_EQ(stored.windowRect[0], 70);
    EXPECT_EQ(stored.windowRect[1], 80);
    EXPECT_EQ(stored.windowRect[2], 70 + frame.width());
    EXPECT_EQ(stored.windowRect[3], 80 + frame.height());
}

TEST_F(MonitorWindow, ExitWhileHiddenKeepsTheStoredRectangle) {
    Start(true);
    window->hide();
    window->OnExit();
    Settings stored = StoredSettings();
    EXPECT_EQ(stored.windowRect[0], 100);
    EXPECT_EQ(stored.windowRect[3], 350);
}

TEST_F(MonitorWindow, TerminationSignalEndsTheSessionWithoutSaving) {
    Start();
    ASSERT_TRUE(WatchTerminationSignals(window.get(), [this] { window->EndSession(); }));
    window->CallView()->setColumnWidth(0, 150);
    ASSERT_EQ(raise(SIGTERM), 0);
    QTRY_VERIFY_WITH_TIMEOUT(window->SessionEnded(), 3000);
    EXPECT_FALSE(SettingsStored());
    EXPECT_FALSE(window->TrayIcon()->isVisible());
}

TEST(MessageBoxHandler, AnotherThreadsErrorIsShownOnTheGuiThreadWhileItWaits) {
    InstallMessageBoxHandler();
    QString title, text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    std::atomic<bool> returned = false;
    std::thread listener([&] {
        ShowMessage("Error: ISDN-driver not installed");
        returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 5000);
    listener.join();
    SetMessageHandler({});
    EXPECT_EQ(title, "TAVO");
    EXPECT_EQ(text, "Error: ISDN-driver not installed");
    EXPECT_EQ(buttons, QMessageBox::Ok); // only tells: nothing to choose
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST_F(MonitorWindow, TerminationSignalEndsTheSessionEvenWithTheListenersErrorBoxOpen) {
    InstallMessageBoxHandler();
    // No ISDN card here: the listener reports that in a box and waits until it is closed. The
    // signal arrives meanwhile.
    std::atomic<bool> boxShown = false;
    OnNextModal([&](QWidget*) {
        boxShown = true;
        WatchTerminationSignals(window.get(), [this] { window->EndSession(); });
        raise(SIGTERM);
    });
    Start(false, LineKind::Capi);
    QTRY_VERIFY_WITH_TIMEOUT(window->SessionEnded(), 10000);
    EXPECT_TRUE(boxShown.load());
    window.reset(); // joins the listener
    EXPECT_FALSE(SettingsStored());
}

TEST_F(MonitorWindow, TheTrayToolTipTellsWhileTheHistoryCannotBeWritten) {
    // A directory where "caller.his" belongs: nothing can replace it.
    ASSERT_TRUE(fs::create_directory(DataFile("caller.his")));
    std::vector<std::string> told;
    SetMessageHandler([&told](const std::string& text) { told.push_back(text); });
    Start(true);
    IncomingCallNotice notice;
    notice.callingNumber = "0309";
    notice.calledNumber = "5551";
    notice.connectionId = 0x101;
    core->OnIncomingCall(notice);
    QTRY_VERIFY_WITH_TIMEOUT(window->TrayIcon()->toolTip() != CMonitorDlg::TrayToolTip, 5000);
    EXPECT_TRUE(window->TrayIcon()->toolTip().startsWith(CMonitorDlg::TrayToolTip + "\n"));
    EXPECT_FALSE(told.empty());
    // Writable again: the tooltip is the plain one once more.
    ASSERT_TRUE(fs::remove(DataFile("caller.his")));
    notice.connectionId = 0x102;
    now += 60;
    core->OnIncomingCall(notice);
    QTRY_COMPARE_WITH_TIMEOUT(window->TrayIcon()->toolTip(), CMonitorDlg::TrayToolTip, 5000);
}

TEST_F(MonitorWindow, SearchFindsCallsOfEveryDayAndEscapeBringsTheDayBack) {
    StorePhoneBook({Entry("0301234567", "Anna")});
    StoreCalls({Call(Feb06Midnight - 20 * 86400, "5551", "0301234567"),
                Call(Feb07Midnight + 3600, "5551", "0401111"),
                Call(Feb07Midnight + 7200, "5551", "0301234567")});
    Start();
    ASSERT_EQ(Column(0).size(), 2); // today's two calls
    CallSearchBar* search = window->SearchBar();
    search->setFocus();
    QTest::keyClicks(search, "aNNa");
    QTRY_COMPARE_WITH_TIMEOUT(Column(0),
                              QStringList({"2000-02-07 02:00:00", "2000-01-17 00:00:00"}), 5000);
    EXPECT_EQ(Column(2).first(), "Anna  0301234567");
    // A call while the search is shown is searched too.
    IncomingCallNotice notice;
    notice.callingNumber = "0301234567";
    notice.calledNumber = "5551";
    notice.connectionId = 0x101;
    core->OnIncomingCall(notice);
    QTRY_COMPARE_WITH_TIMEOUT(Column(0).size(), 3, 5000);
    QTest::keyClick(search, Qt::Key_Escape);
    EXPECT_TRUE(search->text().isEmpty());
    EXPECT_EQ(Column(0),
              QStringList({"2000-02-07 12:00:00", "2000-02-07 02:00:00", "2000-02-07 01:00:00"}));
}

namespace {

// Europe/Berlin around the change to summer time in the night to Sunday 2000-03-26.
constexpr int32_t Mar25At2330 = 954023400; // Sat 23:30 CET
constexpr int32_t Mar26Noon = 954064800;   // Sun 12:00 CEST, a day of 23 hours
constexpr int32_t Mar28Noon = 954237600;   // Tue 12:00 CEST

} // namespace

TEST_F(MonitorWindow, ANotificationsShowOpensTheCallsCalendarDayAcrossASummerTimeChange) {
    StoreCalls({Call(Mar25At2330, "5551", "0301"), Call(Mar26Noon, "5551", "0302")});
    now = Mar28Noon;
    Start();
    CallEvent call;
    call.time = Mar25At2330; // 47.5 hours before Tuesday's midnight: less than two days of 24 h
    call.number = "0301";
    window->OnNotificationAction("default", call);
    ASSERT_EQ(window->DayTabs()->currentIndex(), 3);
    EXPECT_EQ(window->DayTabs()->tabText(3), "Sat 25.03.2000");
    EXPECT_EQ(Column(0), QStringList({"2000-03-25 23:30:00"}));
    call.time = Mar26Noon;
    window->OnNotificationAction("default", call);
    EXPECT_EQ(window->DayTabs()->currentIndex(), 2);
    // Older than the eighth tab: the tab stays.
    call.time = Mar25At2330 - 10 * 86400;
    window->OnNotificationAction("default", call);
    EXPECT_EQ(window->DayTabs()->currentIndex(), 2);
}

TEST_F(MonitorWindow, KeyboardReachesSearchOptionsAndExit) {
    Start();
    window->activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 2000);
    window->CallView()->setFocus();
    QTest::keyClick(window->CallView(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(window->SearchBar()->hasFocus());
    // The search field has a label whose mnemonic leads to it.
    auto* label = window->findChild<QLabel*>("IDC_SEARCH_LABEL");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), window->SearchBar());
    EXPECT_TRUE(label->text().contains('&'));

    bool sheetShown = false;
    OnNextModal([&sheetShown](QWidget* sheet) {
        sheetShown = true;
        sheet->findChild<QPushButton*>(Ids::Cancel.objectName)->click();
    });
    QTest::keyClick(window->CallView(), Qt::Key_Comma, Qt::ControlModifier);
    QTRY_VERIFY_WITH_TIMEOUT(sheetShown, 5000);

    // Ctrl+Q ends the program as "exit" does: the window's state is saved.
    window->activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->isActiveWindow(), 2000);
    QTest::keyClick(window->CallView(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(SettingsStored());
    // Every command of the menus has a mnemonic.
    for (QMenu* menu : {window->findChild<QMenu*>(Ids::SystemMenu.objectName), window->TrayMenu()})
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                EXPECT_TRUE(action->text().contains('&')) << action->text().toStdString();
            }
        }
}

TEST_F(MonitorWindow, SearchSaysItSearchesThenCountsAndShowsThePlaceInsteadOfADay) {
    ASSERT_TRUE(ReplaceFileAtomically(DataFile("areacode.lst"), "0711\tStuttgart\n0301\tBerlin\n", 0644));
    std::vector<CallRecord> calls;
    for (int i = 0; i < 2500; ++i)
        calls.push_back(Call(Feb06Midnight - 100 * 86400 + i * 600, "5551", "07115550"));
    calls.push_back(Call(Feb07Midnight + 60, "5551", "0401111"));
    StoreCalls(calls);
    Start();
    CallSearchBar* search = window->SearchBar();
    QLabel* heading = window->DayList()->SearchHeading();
    bool sawSearching = false;
    QObject::connect(search, &CallSearchBar::Searching, [&] {
        sawSearching = heading->isVisible() || heading->text() == "searching...";
    });
    search->setText("stuttgart");
    QTRY_VERIFY_WITH_TIMEOUT(heading->text().contains("match"), 5000);
    EXPECT_TRUE(sawSearching);
    // Visible in the window, with the thousands grouped.
    EXPECT_TRUE(heading->isVisibleTo(window.get()));
    EXPECT_EQ(heading->text(), "2,500 calls match \"stuttgart\", the newest 2,000 shown");
    // No day tab looks selected while results are shown.
    EXPECT_FALSE(window->DayTabs()->isVisibleTo(window.get()));
    // Why they matched: the place.
    QTreeWidget* view = window->CallView();
    ASSERT_EQ(view->columnCount(), 4);
    EXPECT_EQ(view->headerItem()->text(3), "place");
    EXPECT_EQ(view->topLevelItem(0)->text(3), "Stuttgart");
    EXPECT_EQ(view->topLevelItem(0)->toolTip(2), "Stuttgart");
    // Saved widths are the day's columns only.
    EXPECT_EQ(window->DayList()->ColumnWidths()[3], 0);

    search->setText("0401111");
    QTRY_COMPARE_WITH_TIMEOUT(heading->text(), "1 call matches \"0401111\"", 5000);
    EXPECT_EQ(view->topLevelItem(0)->text(3), "");

    search->clear();
    EXPECT_TRUE(window->DayTabs()->isVisibleTo(window.get()));
    EXPECT_FALSE(heading->isVisibleTo(window.get()));
    EXPECT_EQ(view->columnCount(), 3);
}

TEST_F(MonitorWindow, FirstStartShowsItsColumnsWholeAndTheLastOneFillsTheRest) {
    // A desktop font that makes the columns wider than the stored default rectangle.
    const QFont saved = QApplication::font();
    QFont large = saved;
    large.setPointSizeF(saved.pointSizeF() * 1.6);
    QApplication::setFont(large);
    Start();
    QApplication::processEvents();
    QTreeWidget* view = window->CallView();
    const std::array<int, 3> whole = window->DayList()->DefaultColumnWidths({0, 0, 0});
    QTRY_VERIFY_WITH_TIMEOUT(!view->horizontalScrollBar()->isVisible(), 2000);
    for (int column = 0; column < 3; ++column)
        EXPECT_GE(view->columnWidth(column), whole[size_t(column)]) << column;
    EXPECT_EQ(view->header()->length(), view->viewport()->width());
    QApplication::setFont(saved);
}

TEST_F(MonitorWindow, AMaximisedWindowComesBackMaximisedFromTheTrayAndAtTheNextStart) {
    Start(true);
    window->showMaximized();
    QTRY_VERIFY_WITH_TIMEOUT(window->isMaximized(), 2000);
    window->DayTabs()->setCurrentIndex(2);
    window->ToggleWindow(); // into the tray
    EXPECT_FALSE(window->isVisible());
    window->ToggleWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(window->DayTabs()->currentIndex(), 2);
    window->OnExit();
    window.reset();
    core.reset();

    Start(true);
    QTRY_VERIFY_WITH_TIMEOUT(window->isMaximized(), 2000);
    window->showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isMaximized(), 2000);
    window->OnExit();
    window.reset();
    core.reset();
    Start(true);
    EXPECT_FALSE(window->isMaximized());
}

TEST_F(MonitorWindow, ClosingIntoTheTraySaysSoTheFirstTimeOnly) {
    Start(true);
    QStringList told;
    window->showTrayMessage = [&told](const QString& title, const QString&) { told << title; };
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 2000);
    EXPECT_EQ(told, QStringList({"TAVO is still running"}));
    window->ToggleWindow();
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 2000);
    EXPECT_EQ(told.size(), 1);
    // Nor at the next start.
    window.reset();
    core.reset();
    Start(true);
    window->showTrayMessage = [&told](const QString& title, const QString&) { told << title; };
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 2000);
    EXPECT_EQ(told.size(), 1);
}

TEST_F(MonitorWindow, ASecondStartShowsTheHiddenWindow) {
    Start(true);
    window->hide();
    InstanceHandOverServer server;
    QObject::connect(&server, &InstanceHandOverServer::ShowRequested, window.get(),
                     &CMonitorDlg::ShowWindow);
    const QString name = HandOverSocketName(temp.path().toStdString() + "/data");
    QString error;
    ASSERT_TRUE(server.Listen(name, error)) << error.toStdString();
    // Another spelling of the same directory names the same socket.
    EXPECT_EQ(HandOverSocketName(temp.path().toStdString() + "/data/"), name);
    EXPECT_NE(HandOverSocketName(temp.path().toStdString()), name);
    std::atomic<int> answered = -1;
    std::thread second([&] { answered = AskRunningMonitorToShow(name) ? 1 : 0; });
    QTRY_VERIFY_WITH_TIMEOUT(answered.load() != -1, 10000);
    second.join();
    EXPECT_EQ(answered.load(), 1);
    EXPECT_TRUE(window->isVisible());
    // Nobody listening: no hand-over.
    EXPECT_FALSE(AskRunningMonitorToShow(name + "-none"));
}

TEST_F(MonitorWindow, StatisticsCountOnTheScreenWithRoundTicks) {
    Start();
    window->OnStatistics();
    CStatisticsDlg* statistics = window->Statistics();
    ASSERT_NE(statistics, nullptr);
    auto* total = statistics->findChild<QLabel*>("IDC_STAT_TOTAL");
    ASSERT_NE(total, nullptr);
    QSignalSpy updated(statistics, &CStatisticsDlg::Updated);
    statistics->Refresh();
    EXPECT_EQ(total->text(), "counting...");
    ASSERT_TRUE(updated.wait(10000));
    EXPECT_TRUE(total->text().startsWith("0 calls"));
    const QRect screen = statistics->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(statistics->frameGeometry().topLeft()));
    EXPECT_LE(statistics->frameGeometry().height(), screen.height());

    for (auto [highest, step] : {std::pair{0, 1}, std::pair{5, 1}, std::pair{7, 2},
                                 std::pair{10, 2}, std::pair{11, 5}, std::pair{48, 10},
                                 std::pair{1234, 500}, std::pair{99999, 20000}})
        EXPECT_EQ(RoundTickStep(highest), step) << highest;
}

TEST_F(MonitorWindow, TheLineStateShowsInTheStatusBarTheTrayToolTipAndIcon) {
    Start(true);
    auto* label = window->StatusBar()->findChild<QLabel*>("IDC_LINE_STATUS");
    ASSERT_NE(label, nullptr);
    // The simulated line listens: the line tells the window so itself.
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), "Line: listening", 5000);
    EXPECT_TRUE(window->StatusBar()->isVisibleTo(window.get()));
    // All is well: the tooltip is the plain one.
    EXPECT_EQ(window->TrayIcon()->toolTip(), CMonitorDlg::TrayToolTip);
    const qint64 normalIcon = window->TrayIcon()->icon().cacheKey();

    LineStatus lost;
    lost.state = LineStatus::State::Lost;
    lost.since = now - 60;
    lost.retryAt = now + 30;
    window->SetLineStatus(lost);
    EXPECT_TRUE(window->StatusBar()->isVisibleTo(window.get()));
    EXPECT_EQ(label->text(), "Line lost since 11:59, retrying in 30 s");
    EXPECT_EQ(window->TrayIcon()->toolTip(),
              CMonitorDlg::TrayToolTip + "\nLine lost since 11:59, retrying in 30 s");
    EXPECT_NE(window->TrayIcon()->icon().cacheKey(), normalIcon);
    now += 10; // the countdown follows the clock
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), "Line lost since 11:59, retrying in 20 s", 5000);

    LineStatus listening;
    listening.state = LineStatus::State::Listening;
    window->SetLineStatus(listening);
    EXPECT_EQ(label->text(), "Line: listening");
    EXPECT_EQ(window->TrayIcon()->icon().cacheKey(), normalIcon);

    LineStatus noDriver;
    noDriver.state = LineStatus::State::NoDriver;
    window->SetLineStatus(noDriver);
    EXPECT_EQ(label->text(), "No ISDN driver: no calls are received");
    EXPECT_NE(window->TrayIcon()->icon().cacheKey(), normalIcon);

    // Each output that is on, one line in the bar and one each in the tooltips.
    auto* outputs = window->StatusBar()->findChild<QLabel*>("IDC_OUTPUT_STATUS");
    ASSERT_NE(outputs, nullptr);
    window->SetOutputStatuses(
        {{"MQTT", OutputHealth::Failing, "broker.lan:1883 refused the login"},
         {"NCID", OutputHealth::Working, "listening on port 3333"}});
    EXPECT_EQ(outputs->text(),
              "MQTT failing: broker.lan:1883 refused the login \u00b7 NCID: listening on port 3333");
    EXPECT_EQ(window->TrayIcon()->toolTip(),
              CMonitorDlg::TrayToolTip +
                  "\nNo ISDN driver: no calls are received\nMQTT failing: broker.lan:1883 refused "
                  "the login");
    window->SetOutputStatuses({});
    EXPECT_TRUE(outputs->text().isEmpty());
}

TEST_F(MonitorWindow, TheLinePageOpensAndClosesLinesWithoutARestartAndEachShowsItsState) {
    WriteTavoConf("[line]\nsources = sim ; for now\n");
    Start(true, LineKind::Capi);
    auto* label = window->StatusBar()->findChild<QLabel*>("IDC_LINE_STATUS");
    ASSERT_NE(label, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), "Line: listening", 10000);
    IncomingCallNotice before;
    before.callingNumber = "0301111";
    before.calledNumber = "5551";
    before.connectionId = 0x101;
    before.cipValue = 1;
    core->OnIncomingCall(before);
    ASSERT_EQ(CallCount(), 1u);

    // The router's feed beside the simulated line.
    FakeLineServer feed;
    ASSERT_TRUE(feed.Listen());
    const QString where = "127.0.0.1:" + QString::number(feed.port);
    ChangeLines([&](QWidget* page) {
        page->findChild<QCheckBox*>("IDC_LINE_CALLMONITOR")->click();
        page->findChild<QLineEdit*>("IDC_CALLMONITOR_HOST")->setText("127.0.0.1");
        page->findChild<QLineEdit*>("IDC_CALLMONITOR_PORT")->setText(QString::number(feed.port));
    });
    ASSERT_TRUE(feed.Accept(std::chrono::seconds(20)));
    const TavoConfLoad saved = LoadTavoConf(TavoConfPath());
    EXPECT_EQ(ReadLineSettings(saved.conf).sources,
              (std::vector<LineSource>{LineSource::Sim, LineSource::CallMonitor}));
    QTRY_COMPARE_WITH_TIMEOUT(label->text(),
                              "simulated line: listening \u00b7 call monitor " + where +
                                  ": listening",
                              20000);
    EXPECT_EQ(window->TrayIcon()->toolTip(), CMonitorDlg::TrayToolTip);

    // A RING on the feed is a call, after the one taken before the change.
    ASSERT_TRUE(feed.Send("07.02.00 12:00:00;RING;0;04012345;5552;SIP0;\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(CallCount(), size_t(2), 20000);
    {
        std::vector<std::pair<std::string, std::string>> calls;
        for (const CallRecord& call : core->lists.Read()->callList)
            calls.emplace_back(*call.key, *call.value);
        EXPECT_EQ(calls, (std::vector<std::pair<std::string, std::string>>{
                             {"5551", "0301111"}, {"5552", "04012345"}}));
    }

    // The router goes: only that line is lost, in the bar and in the tray.
    feed.Close();
    const QString lost = "call monitor " + where + ": lost since 12:00";
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith("simulated line: listening \u00b7 " + lost),
                             20000);
    EXPECT_TRUE(window->TrayIcon()->toolTip().startsWith(CMonitorDlg::TrayToolTip + "\n" + lost))
        << window->TrayIcon()->toolTip().toStdString();

    // Without the feed the window speaks of the one line as ever, and all is well again.
    ChangeLines([](QWidget* page) {
        page->findChild<QCheckBox*>("IDC_LINE_CALLMONITOR")->click();
    });
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), "Line: listening", 20000);
    EXPECT_EQ(window->TrayIcon()->toolTip(), CMonitorDlg::TrayToolTip);
    EXPECT_EQ(core->LinesInUse().size(), 1u);
    EXPECT_EQ(CallCount(), 2u);
}

TEST_F(MonitorWindow, LinesTheCommandLineChoseStayOpenWhenThePageIsSaved) {
    WriteTavoConf("[line]\nsources = capi\n");
    FakeLineServer feed;
    ASSERT_TRUE(feed.Listen());
    Start(true); // the simulated line, as --line sim
    auto* label = window->StatusBar()->findChild<QLabel*>("IDC_LINE_STATUS");
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), "Line: listening", 10000);
    const std::vector<MonitorCore::LineInUse> lines = core->LinesInUse();
    ChangeLines([&](QWidget* page) {
        EXPECT_TRUE(page->findChild<QLabel*>("IDC_LINE_COMMAND_LINE")->isVisible());
        page->findChild<QCheckBox*>("IDC_LINE_CALLMONITOR")->click();
        page->findChild<QLineEdit*>("IDC_CALLMONITOR_HOST")->setText("127.0.0.1");
        page->findChild<QLineEdit*>("IDC_CALLMONITOR_PORT")->setText(QString::number(feed.port));
    });
    // Saved for a later start, but nothing opened now.
    EXPECT_EQ(ReadLineSettings(LoadTavoConf(TavoConfPath()).conf).sources,
              (std::vector<LineSource>{LineSource::Capi, LineSource::CallMonitor}));
    EXPECT_EQ(core->LinesInUse(), lines);
    EXPECT_FALSE(feed.Accept(std::chrono::milliseconds(300)));
    EXPECT_EQ(label->text(), "Line: listening");
}

TEST_F(MonitorWindow, WithoutAnIsdnDriverTheWindowSaysSoAndKeepsSaying) {
    // No ISDN card here: the box tells it once at start-up (answered at once), the status bar
    // and the tray keep telling it.
    SetNextMessageBoxAnswer(QMessageBox::Ok);
    Start(true, LineKind::Capi);
    auto* label = window->StatusBar()->findChild<QLabel*>("IDC_LINE_STATUS");
    ASSERT_NE(label, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(label->text(), "No ISDN driver: no calls are received", 10000);
    // The retries that follow (after 1 s) leave it at that.
    QTest::qWait(1500);
    EXPECT_EQ(label->text(), "No ISDN driver: no calls are received");
    EXPECT_EQ(LastMessageBoxText(), "Error: ISDN-driver not installed");
    EXPECT_EQ(window->TrayIcon()->toolTip(),
              CMonitorDlg::TrayToolTip + "\nNo ISDN driver: no calls are received");
}

TEST_F(MonitorWindow, ScreenedCallsShowAnIconAndTheirRuleAndTheMenuAddsARule) {
    StoreCalls({Call(Feb07Midnight + 3600, "5551", "0"), Call(Feb07Midnight + 7200, "5551", "0301"),
                Call(Feb07Midnight + 10800, "5551", "0302")});
    {
        std::ofstream verdicts(DataFile("caller.verdicts"));
        verdicts << (Feb07Midnight + 3600) << "\t0\t0\treject\t2\treject withheld\n"
                 << (Feb07Midnight + 7200) << "\t0\t0301\tquiet\t1\tquiet time=00:00-07:00\n";
    }
    Start();
    CListViewEx* view = window->CallView();
    ASSERT_EQ(Column(2), QStringList({"0302", "0301", "<< unknown >>"}));
    EXPECT_TRUE(view->topLevelItem(0)->icon(2).isNull());
    EXPECT_TRUE(view->topLevelItem(0)->toolTip(0).isEmpty());
    EXPECT_FALSE(view->topLevelItem(1)->icon(2).isNull());
    for (int column = 0; column < 3; ++column)
        EXPECT_EQ(view->topLevelItem(1)->toolTip(column),
                  "Kept quiet by line 1 of the rules: quiet time=00:00-07:00");
    EXPECT_EQ(view->topLevelItem(2)->toolTip(2), "Rejected by line 2 of the rules: reject withheld");
    EXPECT_NE(view->topLevelItem(1)->icon(2).cacheKey(), view->topLevelItem(2)->icon(2).cacheKey());
    // The icon stands before the caller, whose text keeps its room after it.
    const CListViewEx::Cell cell = view->CellAt(1, 2);
    EXPECT_FALSE(cell.icon.isNull());
    EXPECT_GT(cell.iconRect.width(), 0);
    EXPECT_LE(cell.iconRect.right(), cell.rect.left());
    EXPECT_EQ(cell.text, "0301");
    EXPECT_TRUE(view->CellAt(0, 2).icon.isNull());

    // Nothing to offer for a withheld call.
    view->setCurrentItem(view->topLevelItem(2));
    ASSERT_NE(window->DayList()->SelectedRecord(), nullptr);
    EXPECT_TRUE(window->DayList()->CallMenuActions(*window->DayList()->SelectedRecord(), view)
                    .isEmpty());

    // A right click on a number offers both; "quiet this caller" writes the rule.
    QStringList offered;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget() != nullptr, 10000);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            offered << action->text();
        QAction* quiet = menu->findChild<QAction*>("IDM_QUIET_CALLER");
        ASSERT_NE(quiet, nullptr);
        menu->close();
        quiet->trigger();
    });
    const QRect row = view->visualItemRect(view->topLevelItem(0));
    emit view->customContextMenuRequested(row.center());
    EXPECT_EQ(offered, QStringList({"&quiet this caller", "&reject this caller"}));
    const std::string rules = temp.path().toStdString() + "/config/TAVO/rules.conf";
    std::ifstream file(rules);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), "quiet number=0302\n");

    // The monitor reads the new rule by itself; the next call from that number is marked.
    QTRY_VERIFY_WITH_TIMEOUT(core->Screening()->Current() != nullptr, 20000);
    IncomingCallNotice notice;
    notice.callingNumber = "0302";
    notice.calledNumber = "5551";
    notice.connectionId = 0x101;
    notice.cipValue = 1;
    core->OnIncomingCall(notice);
    ASSERT_EQ(Column(0).first(), "2000-02-07 12:00:00");
    EXPECT_EQ(view->topLevelItem(0)->toolTip(2),
              "Kept quiet by line 1 of the rules: quiet number=0302");
}

TEST(LineStatusAfter, FollowsTheLinesReports) {
    using Kind = LineReport::Kind;
    const std::time_t t = 1'700'000'000;
    auto report = [](Kind kind, unsigned seconds = 0, std::string text = {}) {
        LineReport r(kind);
        r.seconds = seconds;
        r.text = std::move(text);
        return r;
    };
    LineStatus status;
    status = LineStatusAfter(status, report(Kind::Listening), t);
    EXPECT_EQ(status.state, LineStatus::State::Listening);

    // Lost at t; the moment stays while the retries go on, each naming the next try.
    status = LineStatusAfter(status, report(Kind::ConnectionLost), t);
    EXPECT_EQ(status.state, LineStatus::State::Lost);
    EXPECT_EQ(status.since, t);
    EXPECT_EQ(status.retryAt, 0);
    status = LineStatusAfter(status, report(Kind::RegistrationFailed, 0, "Error: 0x1009"), t + 1);
    status = LineStatusAfter(status, report(Kind::RetryingIn, 4), t + 2);
    EXPECT_EQ(status.since, t);
    EXPECT_EQ(status.retryAt, t + 6);
    EXPECT_EQ(status.reason, "Error: 0x1009");
    // The process that ended over it keeps the registration's reason, which says more.
    status = LineStatusAfter(status, report(Kind::ProcessEnded, 8, "exited with code 3"), t + 3);
    EXPECT_EQ(status.reason, "Error: 0x1009");
    EXPECT_EQ(status.retryAt, t + 11);
    // Reports that say nothing of the state change nothing.
    const LineStatus before = status;
    status = LineStatusAfter(status, report(Kind::SharedLockReleased), t + 4);
    EXPECT_EQ(status.since, before.since);
    EXPECT_EQ(status.retryAt, before.retryAt);
    status = LineStatusAfter(status, report(Kind::ListeningAgain), t + 5);
    EXPECT_EQ(status.state, LineStatus::State::Listening);
    EXPECT_TRUE(status.reason.empty());

    // No driver stays no driver through the line process's restarts, until the line listens.
    status = LineStatusAfter(status, report(Kind::RegistrationFailed, 0, NoDriverError), t + 6);
    EXPECT_EQ(status.state, LineStatus::State::NoDriver);
    for (Kind kind : {Kind::RetryingIn, Kind::ProcessEnded, Kind::ProcessSilent,
                      Kind::RegistrationUnanswered, Kind::ConnectionLost})
        EXPECT_EQ(LineStatusAfter(status, report(kind, 2, "x"), t + 7).state,
                  LineStatus::State::NoDriver);
    EXPECT_EQ(LineStatusAfter(status, report(Kind::Listening), t + 8).state,
              LineStatus::State::Listening);
}

TEST(LineStatusesText, EachLineWithItsStateAndOnlyTroubleForTheTray) {
    const std::time_t t = Feb07Noon;
    LineStatus listening;
    listening.state = LineStatus::State::Listening;
    LineStatus lost;
    lost.state = LineStatus::State::Lost;
    lost.since = t - 3600;
    lost.retryAt = t + 30;
    lost.reason = "the connection was closed by the far end";
    LineStatus noDriver;
    noDriver.state = LineStatus::State::NoDriver;
    const QString capi = LineSourceLabel("capi", "");
    const QString feed = LineSourceLabel("callmonitor", "192.168.178.1:1012");
    const QString ami = LineSourceLabel("ami", "10.0.0.2:5038");
    EXPECT_EQ(capi, "CAPI");
    EXPECT_EQ(LineSourceLabel("sim", ""), "simulated line");
    EXPECT_EQ(feed, "call monitor 192.168.178.1:1012");
    EXPECT_EQ(ami, "AMI 10.0.0.2:5038");

    // Nothing told yet by any: the window says nothing; by some: the others are starting.
    EXPECT_EQ(LineStatusesText({{capi, {}}, {feed, {}}}, t), "");
    EXPECT_EQ(LineStatusesText({{capi, listening}, {feed, {}}}, t),
              "CAPI: listening \u00b7 call monitor 192.168.178.1:1012: starting");
    EXPECT_EQ(LineStatusesText({{capi, listening}, {feed, lost}, {ami, listening}}, t),
              "CAPI: listening \u00b7 call monitor 192.168.178.1:1012: lost since 11:00, "
              "retrying in 30 s (the connection was closed by the far end) \u00b7 AMI "
              "10.0.0.2:5038: listening");
    // The retry that is due.
    EXPECT_EQ(LineStatusesText({{feed, lost}, {ami, listening}}, t + 31),
              "call monitor 192.168.178.1:1012: lost since 11:00, retrying now (the connection "
              "was closed by the far end) \u00b7 AMI 10.0.0.2:5038: listening");

    // The tray: the lines that do not work, one a line, none while all work.
    EXPECT_EQ(LineTroubleText({{capi, listening}, {feed, listening}}, t), "");
    EXPECT_EQ(LineTroubleText({{capi, {}}, {feed, listening}}, t), "");
    EXPECT_EQ(LineTroubleText({{capi, noDriver}, {feed, listening}, {ami, lost}}, t),
              "CAPI: no ISDN driver\nAMI 10.0.0.2:5038: lost since 11:00, retrying in 30 s (the "
              "connection was closed by the far end)");
}

TEST(WorstLineStatus, TheWindowShowsTheWorstSourceAndNamesIt) {
    const std::time_t t = 1'700'000'000;
    LineReport listening(LineReport::Kind::Listening);
    LineReport lost(LineReport::Kind::ConnectionLost);
    lost.source = "callmonitor";
    lost.text = "the connection was closed by the far end";
    std::map<std::string, LineStatus> bySource;
    EXPECT_EQ(WorstLineStatus(bySource).state, LineStatus::State::Unknown);
    bySource[""] = LineStatusAfter({}, listening, t);
    bySource["callmonitor"] = LineStatusAfter({}, listening, t);
    EXPECT_EQ(WorstLineStatus(bySource).state, LineStatus::State::Listening);
    EXPECT_EQ(LineStatusText(WorstLineStatus(bySource), t), "Line: listening");

    bySource["callmonitor"] = LineStatusAfter(bySource["callmonitor"], lost, t + 1);
    const LineStatus worst = WorstLineStatus(bySource);
    EXPECT_EQ(worst.state, LineStatus::State::Lost);
    EXPECT_EQ(worst.since, t + 1);
    EXPECT_EQ(worst.reason, "callmonitor: the connection was closed by the far end");
    EXPECT_TRUE(LineDown(worst));
    // The CAPI line alone says what it always said.
    bySource.erase("callmonitor");
    bySource[""] = LineStatusAfter(bySource[""], LineReport(LineReport::Kind::ConnectionLost), t + 2);
    EXPECT_EQ(WorstLineStatus(bySource).reason, "");
}
