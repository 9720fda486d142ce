#include "gui/CStatisticsDlg.h"

#include "gui/Cp1252Text.h"

#include "core/MonitorCore.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cstdint>

namespace {

QChartView* MakeChartView(QWidget* parent, const QString& objectName) {
    auto* view = new QChartView(parent);
    view->setObjectName(objectName);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(100); // small enough for a small screen at a large scale
    return view;
}

QChart* BarChart(const QString& title, const QStringList& categories,
                 const std::vector<int>& counts) {
    auto* set = new QBarSet(CStatisticsDlg::tr("calls"));
    int highest = 0;
    for (int count : counts) {
        *set << count;
        highest = std::max(highest, count);
    }
    auto* series = new QBarSeries;
    series->append(set);
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->addSeries(series);
    chart->legend()->hide();
    auto* xAxis = new QBarCategoryAxis;
    xAxis->append(categories);
    if (categories.size() > 24) {
        // Thirty dates side by side: a smaller face keeps two digits from being cut to "...".
        QFont small = xAxis->labelsFont();
        small.setPointSizeF(small.pointSizeF() * 0.75);
        xAxis->setLabelsFont(small);
    }
    auto* yAxis = new QValueAxis;
    // Ticks at round numbers (1, 2 or 5 times a power of ten) up to a top that is one of them.
    const int step = RoundTickStep(highest);
    const int top = std::max(step, (highest + step - 1) / step * step);
    yAxis->setRange(0, top);
    yAxis->setLabelFormat(QStringLiteral("%d"));
    yAxis->setTickCount(top / step + 1);
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    series->attachAxis(xAxis);
    series->attachAxis(yAxis);
    return chart;
}

} // namespace

int RoundTickStep(int highest) {
    for (int power = 1; power <= 100'000'000; power *= 10)
        for (int factor : {1, 2, 5})
            if (int64_t{factor} * power * 5 >= highest)
                return factor * power;
    return 1'000'000'000;
}

CStatisticsDlg::CStatisticsDlg(MonitorCore& core, QWidget* parent)
    : QDialog(parent, Qt::Window), core(core) {
    setObjectName(QStringLiteral("IDD_STATISTICS"));
    setWindowTitle(tr("TAVO statistics"));
    pool.setMaxThreadCount(1);
    auto* layout = new QVBoxLayout(this);
    total = new QLabel(this);
    total->setObjectName(QStringLiteral("IDC_STAT_TOTAL"));
    layout->addWidget(total);
    dayChart = MakeChartView(this, QStringLiteral("IDC_STAT_DAYS"));
    hourChart = MakeChartView(this, QStringLiteral("IDC_STAT_HOURS"));
    layout->addWidget(dayChart, 1);
    layout->addWidget(hourChart, 1);
    callers = new QTreeWidget(this);
    callers->setObjectName(QStringLiteral("IDC_STAT_CALLERS"));
    callers->setHeaderLabels({tr("calls"), tr("number"), tr("name")});
    callers->setRootIsDecorated(false);
    callers->setMinimumHeight(60);
    layout->addWidget(callers);
    // On the screen of the window it was opened from, title bar included, also on a small
    // screen at a large scale.
    QSize wanted(820, 640);
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect room = screen->availableGeometry();
        constexpr int frameAllowance = 40; // the window manager's title bar and borders
        wanted = wanted.boundedTo(room.size() - QSize(frameAllowance / 2, frameAllowance));
        QRect place(QPoint(0, 0), wanted);
        place.moveCenter(room.center());
        place.moveTop(std::max(place.top(), room.top() + frameAllowance - 10));
        move(place.topLeft());
    }
    resize(wanted);
    Refresh();
}

CStatisticsDlg::~CStatisticsDlg() {
    ++generation;
    pool.waitForDone();
}

void CStatisticsDlg::Refresh() {
    std::shared_ptr<const HistorySnapshot> snapshot;
    {
        const auto lists = core.lists.Read();
        snapshot = TakeHistorySnapshot(lists->callList, lists->msnList, lists->phoneBook,
                                       lists->areaCodes);
    }
    const std::time_t now = core.Now();
    const quint64 mine = ++generation;
    total->setText(tr("counting..."));
    pool.start([this, snapshot, now, mine] {
        CallStatistics stats = CountCalls(*snapshot, now);
        QMetaObject::invokeMethod(this, [this, mine, now, stats = std::move(stats)] {
            if (mine == generation)
                Show(stats, now);
        });
    });
}

void CStatisticsDlg::Show(const CallStatistics& stats, std::time_t now) {
    shown = stats;
    // Numbers in the interface language's digits and separators; C gives today's plain ones.
    const QLocale locale;
    QStringList days;
    for (int i = StatisticsDays - 1; i >= 0; --i) {
        std::tm local{};
        const std::time_t moment = now - std::time_t(i) * 86400;
        localtime_r(&moment, &local);
        days << locale.toString(local.tm_mday); // the day of the month: 30 labels must fit
    }
    QStringList hours;
    for (int h = 0; h < 24; ++h)
        hours << locale.toString(h);
    int lastDays = 0;
    for (int count : stats.perDay)
        lastDays += count;
    total->setText(tr("%1 calls in the last %2 days").arg(lastDays).arg(StatisticsDays));
    QChart* oldDays = dayChart->chart();
    QChart* oldHours = hourChart->chart();
    dayChart->setChart(BarChart(tr("calls per day"), days, stats.perDay));
    hourChart->setChart(
        BarChart(tr("calls per hour of the day (all calls)"), hours, stats.perHour));
    delete oldDays; // a chart view does not own the chart it is given
    delete oldHours;
    callers->clear();
    for (const CallStatistics::Caller& caller : stats.topCallers) {
        auto* row = new QTreeWidgetItem(callers);
        row->setText(0, locale.toString(caller.calls));
        row->setText(1, FromCp1252(caller.number));
        row->setText(2, FromCp1252(caller.name));
    }
    callers->resizeColumnToContents(1);
    emit Updated();
}
