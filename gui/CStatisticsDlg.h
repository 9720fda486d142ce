#pragma once
// "statistics...": calls per day over the last 30 days and per hour of the day as bar charts,
// and the ten most frequent callers. Counted on a worker thread; refreshed when a call comes in.

#include "core/HistorySearch.h"

#include <QDialog>
#include <QThreadPool>

#include <ctime>
#include <functional>

class MonitorCore;
class QChartView;
class QTreeWidget;
class QLabel;

// The step between the ticks of an axis from 0 to at least `highest`: 1, 2 or 5 times a power
// of ten, at most five steps.
int RoundTickStep(int highest);

class CStatisticsDlg : public QDialog {
    Q_OBJECT
public:
    CStatisticsDlg(MonitorCore& core, QWidget* parent = nullptr);
    ~CStatisticsDlg() override;

    // Counts again over a fresh snapshot of the lists.
    void Refresh();
    // The statistics last shown.
    const CallStatistics& Shown() const { return shown; }

signals:
    void Updated();

private:
    void Show(const CallStatistics& stats, std::time_t now);

    MonitorCore& core;
    QThreadPool pool;
    QChartView* dayChart = nullptr;
    QChartView* hourChart = nullptr;
    QTreeWidget* callers = nullptr;
    QLabel* total = nullptr;
    CallStatistics shown;
    quint64 generation = 0;
};
