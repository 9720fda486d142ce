#pragma once
// The main window's client area: eight day tabs (today first) around the list of the selected
// day's calls. It builds its rows from the core's lists and tells its owner when a row is
// double-clicked; what follows (the entry editor) is the owner's.

#include "core/HistorySearch.h"
#include "core/MonitorCore.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <ctime>
#include <vector>

class CListViewEx;
class QLabel;
class QAction;
class QTabBar;
class QTreeWidgetItem;
struct CallRecord;
struct StoredVerdict;

class DayListWidget : public QWidget {
    Q_OBJECT
public:
    DayListWidget(MonitorCore& core, QWidget* parent = nullptr);

    // The three columns "date/time", "to" and "who" at the given widths in pixels.
    void CreateColumns(int dateTimeWidth, int toWidth, int whoWidth);
    // Widths for a first start, when no settings are stored: wide enough for a whole date and
    // time and typical texts in the list's font, and never below `atLeast`.
    std::array<int, 3> DefaultColumnWidths(const std::array<int, 3>& atLeast) const;
    // Widths of the date/time, to, who and count columns; 0 for a column that does not exist.
    std::array<int, 4> ColumnWidths() const;

    // Rebuilds the eight tabs when the date has changed since the last call, selecting today.
    void RebuildDayTabs();
    // Fills the list with the selected day's calls, newest first.
    void FillDayList();
    // Follows the selected tab.
    void RefreshSelectedDay();
    // Tab 0, then its calls.
    void SelectToday();
    // Rows found by a search take the place of the day's calls until ShowDay(); while they are
    // shown, a refill asks the owner to search again (HistoryChanged) instead. A fourth column
    // shows each caller's place (`places`, one per row), what a search by place matched.
    void ShowSearchRows(const std::vector<SearchRow>& rows, const QStringList& places);
    // A line in place of the day tabs while a search is shown or runs ("searching...", the
    // count): no day looks selected then.
    void ShowSearchHeading(const QString& text);
    void ShowDay();
    bool ShowingSearch() const { return showingSearch; }
    // Writes a record's new repeat count into its row's fourth cell.
    void ShowRepeatCount(const CallRecord& record);

    bool HasSelection() const;
    // The call of the first selected row; nullptr without one.
    CallRecord* SelectedRecord() const;

    // What the call list's context menu offers for `record`: "quiet this caller" and "reject
    // this caller", each putting a rule for its number at the top of the rules file; nothing
    // for a call without a number a rule can name (withheld, say). Made as children of
    // `parent`.
    QList<QAction*> CallMenuActions(const CallRecord& record, QObject* parent);

    // The tab of the local date that holds `moment`; -1 when none of the tabs does.
    int DayTabOf(std::time_t moment) const;

    int32_t TodayStart() const { return todayStart; }
    int32_t SelectedDayStart() const { return selectedDayStart; }
    QTabBar* DayTabs() const { return dayTabs; }
    CListViewEx* CallView() const { return callView; }
    QLabel* SearchHeading() const { return searchHeading; }

signals:
    // A row was double-clicked; the list has handled the clicks, so the row is selected.
    void CallDoubleClicked();
    // The history changed while search rows were shown.
    void HistoryChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOut();
    // A call the rules kept quiet or rejected: an icon before the caller, the rule in the
    // row's tooltips.
    void MarkScreened(QTreeWidgetItem& item, const StoredVerdict& verdict);
    void ShowCallMenu(const QPoint& at);

    MonitorCore& core;
    QTabBar* dayTabs;
    QLabel* searchHeading;
    CListViewEx* callView;
    int32_t todayStart = 0;
    int32_t selectedDayStart = 0;
    bool showingSearch = false;
    int dayWhoWidth = 0; // the "who" column's width in the day view, while a search is shown
};
