#pragma once
// The main window's client area: eight day tabs (today first) around the list of the selected
// day's calls. It builds its rows from the core's lists and tells its owner when a row is
// double-clicked; what follows (the entry editor) is the owner's.

#include "core/MonitorCore.h"

#include <QWidget>

#include <array>
#include <cstdint>

class CListViewEx;
class QTabBar;
struct CallRecord;

class DayListWidget : public QWidget {
    Q_OBJECT
public:
    DayListWidget(MonitorCore& core, QWidget* parent = nullptr);

    // The three columns "date/time", "to" and "who" at the given widths in pixels.
    void CreateColumns(int dateTimeWidth, int toWidth, int whoWidth);
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
    // Writes a record's new repeat count into its row's fourth cell.
    void ShowRepeatCount(const CallRecord& record);

    bool HasSelection() const;
    // The call of the first selected row; nullptr without one.
    CallRecord* SelectedRecord() const;

    int32_t TodayStart() const { return todayStart; }
    int32_t SelectedDayStart() const { return selectedDayStart; }
    QTabBar* DayTabs() const { return dayTabs; }
    CListViewEx* CallView() const { return callView; }

signals:
    // A row was double-clicked; the list has handled the clicks, so the row is selected.
    void CallDoubleClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOut();

    MonitorCore& core;
    QTabBar* dayTabs;
    CListViewEx* callView;
    int32_t todayStart = 0;
    int32_t selectedDayStart = 0;
};
