#include "gui/DayListWidget.h"

#include "core/CallScreening.h"
#include "core/CallVerdicts.h"
#include "core/DayView.h"
#include "gui/CListViewEx.h"
#include "gui/Cp1252Text.h"
#include "gui/ResourceIds.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTabBar>
#include <QTreeWidgetItem>

#include <algorithm>

namespace {

// The tab's weekday in the interface's language; the date stays as it is.
const char* const WeekdayNames[] = {
    QT_TRANSLATE_NOOP("DayTabs", "Sun"), QT_TRANSLATE_NOOP("DayTabs", "Mon"),
    QT_TRANSLATE_NOOP("DayTabs", "Tue"), QT_TRANSLATE_NOOP("DayTabs", "Wed"),
    QT_TRANSLATE_NOOP("DayTabs", "Thu"), QT_TRANSLATE_NOOP("DayTabs", "Fri"),
    QT_TRANSLATE_NOOP("DayTabs", "Sat"),
};

QString ShownCaption(const std::string& caption) {
    const size_t blank = caption.find(' ');
    for (const char* name : WeekdayNames)
        if (blank != std::string::npos && caption.compare(0, blank, name) == 0)
            return QCoreApplication::translate("DayTabs", name) +
                   FromCp1252(caption.substr(blank));
    return FromCp1252(caption);
}

constexpr int RecordRole = Qt::UserRole;
// The column whose cells carry a screened call's icon: the caller's.
constexpr int VerdictColumn = 2;

CallRecord* RecordOf(const QTreeWidgetItem* item) {
    return static_cast<CallRecord*>(item->data(0, RecordRole).value<void*>());
}

// Drawn, so that they look the same under every icon theme and none has to be installed.
QPixmap VerdictPixmap(RuleAction action, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = side / 16.0;
    if (action == RuleAction::Reject) {
        // A no-entry sign: a red disc with a white bar.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xC6, 0x28, 0x28));
        painter.drawEllipse(QRectF(unit, unit, 14 * unit, 14 * unit));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(4 * unit, 7 * unit, 8 * unit, 2 * unit));
    } else {
        // A loudspeaker, struck through.
        QPainterPath speaker;
        speaker.moveTo(2 * unit, 6 * unit);
        speaker.lineTo(5 * unit, 6 * unit);
        speaker.lineTo(9 * unit, 2.5 * unit);
        speaker.lineTo(9 * unit, 13.5 * unit);
        speaker.lineTo(5 * unit, 10 * unit);
        speaker.lineTo(2 * unit, 10 * unit);
        speaker.closeSubpath();
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x55, 0x5F, 0x6B));
        painter.drawPath(speaker);
        painter.setPen(QPen(QColor(0xC6, 0x28, 0x28), 1.8 * unit, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(1.5 * unit, 14.5 * unit), QPointF(14.5 * unit, 1.5 * unit));
    }
    return pixmap;
}

QIcon VerdictIcon(RuleAction action) {
    QIcon icon;
    for (const int side : {16, 32, 48})
        icon.addPixmap(VerdictPixmap(action, side));
    return icon;
}

} // namespace

DayListWidget::DayListWidget(MonitorCore& givenCore, QWidget* parent)
    : QWidget(parent), core(givenCore), dayTabs(new QTabBar(this)),
      searchHeading(new QLabel(this)), callView(new CListViewEx(this)) {
    searchHeading->setObjectName(QStringLiteral("IDC_SEARCH_HEADING"));
    searchHeading->setContentsMargins(6, 0, 6, 0);
    searchHeading->hide();
    setObjectName(QStringLiteral("client"));
    dayTabs->setObjectName(Ids::DayTabs.objectName);
    dayTabs->setExpanding(false);
    dayTabs->setDrawBase(true);
    callView->setObjectName(Ids::CallView.objectName);
    callView->setWordWrap(false);
    callView->setColumnCount(0);
    callView->viewport()->installEventFilter(this);
    connect(dayTabs, &QTabBar::currentChanged, this, [this](int) { RefreshSelectedDay(); });
    callView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(callView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowCallMenu(at); });
}

void DayListWidget::CreateColumns(int dateTimeWidth, int toWidth, int whoWidth) {
    callView->setColumnCount(3);
    callView->setHeaderLabels(
        {tr("date/time"), tr("to"), tr("who")});
    // The last column takes what is left of the width: no gap beside it, and no horizontal
    // scroll bar while the columns fit.
    callView->header()->setStretchLastSection(true);
    callView->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    callView->setColumnWidth(0, dateTimeWidth);
    callView->setColumnWidth(1, toWidth);
    callView->setColumnWidth(2, whoWidth);
    callView->SetFullRowSelect(true);
}

std::array<int, 3> DayListWidget::DefaultColumnWidths(const std::array<int, 3>& atLeast) const {
    // A whole date and time with the widest digits, and typical "to" and "who" texts (an MSN
    // named by a word of up to eight letters, on the commonest service).
    const QFontMetrics metrics = callView->fontMetrics();
    QChar widest = u'0';
    for (QChar digit : QStringLiteral("0123456789"))
        if (metrics.horizontalAdvance(digit) > metrics.horizontalAdvance(widest))
            widest = digit;
    QString dateTime = QStringLiteral("0000-00-00 00:00:00");
    dateTime.replace(u'0', widest);
    const std::array<QString, 3> samples = {dateTime, QStringLiteral("Business/telephony"),
                                            QStringLiteral("Anna Berger  0301/2345678")};
    std::array<int, 3> widths{};
    for (int column = 0; column < 3; ++column)
        widths[column] = std::max(atLeast[column],
                                  CListViewEx::WholeTextWidth(metrics, samples[column], column));
    return widths;
}

std::array<int, 4> DayListWidget::ColumnWidths() const {
    const QHeaderView* header = callView->header();
    std::array<int, 4> widths{};
    // A search's place column is not one of the day's columns.
    const int dayColumns = showingSearch ? 3 : header->count();
    for (int column = 0; column < 4; ++column)
        widths[column] = column < dayColumns ? header->sectionSize(column) : 0;
    if (showingSearch && dayWhoWidth > 0)
        widths[2] = dayWhoWidth;
    return widths;
}

void DayListWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void DayListWidget::LayOut() {
    // The tab bar takes only its row, so its scroll arrows stay above the list and all eight
    // days can be reached in a narrow window.
    const int tabRow = dayTabs->sizeHint().height();
    dayTabs->setGeometry(0, 0, width(), tabRow);
    searchHeading->setGeometry(0, 0, width(), tabRow);
    callView->setGeometry(5, tabRow + 5, width() - 10, height() - tabRow - 10);
}

bool DayListWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == callView->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // After the list has handled the clicks, so the row under the mouse is selected.
        QMetaObject::invokeMethod(
            this, [this] { emit CallDoubleClicked(); }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void DayListWidget::RebuildDayTabs() {
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
            int index = dayTabs->addTab(ShownCaption(tab.caption));
            dayTabs->setTabData(index, QVariant(qint64(tab.dayStart)));
        }
        selectedDayStart = todayStart;
        dayTabs->setCurrentIndex(0);
    }
    FillDayList();
}

void DayListWidget::FillDayList() {
    if (showingSearch) {
        emit HistoryChanged();
        return;
    }
    std::vector<DayRow> rows;
    {
        const auto lists = core.lists.Write();
        rows = BuildDayRows(lists->callList, lists->msnList, lists->phoneBook, lists->areaCodes,
                            selectedDayStart);
    }
    callView->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows.size()));
    for (const DayRow& row : rows) {
        auto* item = new QTreeWidgetItem(
            QStringList{FromCp1252(row.timeText), FromCp1252(row.toText), FromCp1252(row.whoText)});
        item->setData(0, RecordRole, QVariant::fromValue(static_cast<void*>(row.record)));
        if (const StoredVerdict* verdict = core.VerdictOf(*row.record))
            MarkScreened(*item, *verdict);
        items.append(item);
    }
    callView->addTopLevelItems(items);
}

void DayListWidget::ShowSearchRows(const std::vector<SearchRow>& rows,
                                   const QStringList& places) {
    if (!showingSearch)
        dayWhoWidth = callView->columnWidth(2);
    showingSearch = true;
    callView->clear();
    callView->setColumnCount(4);
    callView->headerItem()->setText(3, tr("place"));
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i) {
        const SearchRow& row = rows[i];
        const QString place = qsizetype(i) < places.size() ? places[qsizetype(i)] : QString();
        auto* item = new QTreeWidgetItem(QStringList{FromCp1252(row.timeText),
                                                     FromCp1252(row.toText),
                                                     FromCp1252(row.whoText), place});
        if (!place.isEmpty())
            item->setToolTip(2, place);
        items.append(item);
    }
    callView->addTopLevelItems(items);
    // The place beside the caller, not behind a scroll bar: "who" as wide as its texts.
    callView->resizeColumnToContents(2);
}

void DayListWidget::ShowSearchHeading(const QString& text) {
    searchHeading->setText(text);
    searchHeading->show();
    dayTabs->hide();
}

void DayListWidget::ShowDay() {
    if (showingSearch && dayWhoWidth > 0)
        callView->setColumnWidth(2, dayWhoWidth);
    showingSearch = false;
    searchHeading->hide();
    dayTabs->show();
    callView->setColumnCount(3);
    FillDayList();
}

int DayListWidget::DayTabOf(std::time_t moment) const {
    // The tabs are calendar dates, newest first: the first that starts at or before the moment
    // holds it (a date across a change of daylight-saving time lasts 23 or 25 hours).
    for (int index = 0; index < dayTabs->count(); ++index)
        if (moment >= std::time_t(dayTabs->tabData(index).toLongLong()))
            return index;
    return -1;
}

void DayListWidget::RefreshSelectedDay() {
    int index = dayTabs->currentIndex();
    if (index < 0)
        return;
    QVariant value = dayTabs->tabData(index);
    if (!value.isValid())
        return;
    selectedDayStart = int32_t(value.toLongLong());
    FillDayList();
}

void DayListWidget::SelectToday() {
    {
        QSignalBlocker block(dayTabs);
        dayTabs->setCurrentIndex(0);
    }
    RefreshSelectedDay();
}

void DayListWidget::ShowRepeatCount(const CallRecord& record) {
    // The count goes to a fourth cell that the three columns never show, as it always did.
    for (int i = 0; i < callView->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = callView->topLevelItem(i);
        if (RecordOf(item) == &record) {
            item->setText(3, QString::number(record.repeatCount));
            return;
        }
    }
}

bool DayListWidget::HasSelection() const {
    return !callView->selectedItems().isEmpty();
}

CallRecord* DayListWidget::SelectedRecord() const {
    const QList<QTreeWidgetItem*> selected = callView->selectedItems();
    return selected.isEmpty() ? nullptr : RecordOf(selected.first());
}

void DayListWidget::MarkScreened(QTreeWidgetItem& item, const StoredVerdict& verdict) {
    if (verdict.action == RuleAction::Announce)
        return;
    static const QIcon quiet = VerdictIcon(RuleAction::Quiet);
    static const QIcon reject = VerdictIcon(RuleAction::Reject);
    item.setIcon(VerdictColumn, verdict.action == RuleAction::Reject ? reject : quiet);
    const QString rule = QString::fromStdString(verdict.rule);
    const QString tip = verdict.action == RuleAction::Reject
                            ? tr("Rejected by line %1 of the rules: %2").arg(verdict.line).arg(rule)
                            : tr("Kept quiet by line %1 of the rules: %2").arg(verdict.line).arg(rule);
    for (int column = 0; column < 3; ++column)
        item.setToolTip(column, tip);
}

QList<QAction*> DayListWidget::CallMenuActions(const CallRecord& record, QObject* parent) {
    QList<QAction*> actions;
    CallScreening* screening = core.Screening();
    if (screening == nullptr)
        return actions;
    const std::string calling(record.value.view());
    for (const RuleAction action : {RuleAction::Quiet, RuleAction::Reject}) {
        const std::optional<std::string> line = CallerRuleLine(action, calling);
        if (!line)
            continue; // withheld, or no number a rule can name
        auto* menuAction = new QAction(action == RuleAction::Quiet ? tr("&quiet this caller")
                                                                   : tr("&reject this caller"),
                                       parent);
        menuAction->setObjectName(action == RuleAction::Quiet ? QStringLiteral("IDM_QUIET_CALLER")
                                                              : QStringLiteral("IDM_REJECT_CALLER"));
        connect(menuAction, &QAction::triggered, this, [this, screening, rule = *line] {
            std::string error;
            if (!AddRuleAtTop(screening->Path(), rule, error)) {
                QMessageBox::warning(this, QStringLiteral("TAVO"),
                                     tr("The rule \"%1\" cannot be added to %2: %3")
                                         .arg(QString::fromStdString(rule),
                                              QString::fromStdString(screening->Path()),
                                              QString::fromStdString(error)));
                return;
            }
            screening->Reread();
        });
        actions.append(menuAction);
    }
    return actions;
}

void DayListWidget::ShowCallMenu(const QPoint& at) {
    QTreeWidgetItem* item = callView->itemAt(at);
    if (item == nullptr || showingSearch)
        return;
    const CallRecord* record = RecordOf(item);
    if (record == nullptr)
        return;
    callView->setCurrentItem(item);
    QMenu menu(this);
    menu.addActions(CallMenuActions(*record, &menu));
    if (menu.isEmpty())
        return;
    menu.exec(callView->viewport()->mapToGlobal(at));
}
