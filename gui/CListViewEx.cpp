#include "gui/CListViewEx.h"

#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

// Room kept free beside a text: the first column draws 2 pixels in from each side and wants 4
// pixels in all, the other columns 6 from each side and 12 in all.
constexpr int firstColumnOffset = 4;
constexpr int firstColumnInset = 2;
constexpr int otherColumnOffset = 12;
constexpr int otherColumnInset = 6;

QString ItemText(const QModelIndex& index) {
    return index.data(Qt::DisplayRole).toString().left(CListViewEx::maxItemText);
}

} // namespace

CListViewEx::CListViewEx(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setTextElideMode(Qt::ElideNone);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    const QColor window = palette().color(QPalette::Base);
    textBackColor = window;
    backColor = window;
}

int CListViewEx::SetFullRowSelect(bool on) {
    const bool changed = fullRowSelect != on;
    fullRowSelect = on;
    if (changed)
        viewport()->update();
    return changed ? 1 : 0;
}

void CListViewEx::InsertColumn(int column, const QString& heading, Qt::Alignment alignment,
                               int width) {
    QTreeWidgetItem* head = headerItem();
    const int count = qMax(columnCount(), column + 1);
    setColumnCount(count);
    head->setText(column, heading);
    head->setTextAlignment(column, alignment | Qt::AlignVCenter);
    while (columnAlignments.size() < count)
        columnAlignments.append(Qt::AlignLeft);
    columnAlignments[column] = alignment;
    setColumnWidth(column, width);
}

Qt::Alignment CListViewEx::ColumnAlignment(int column) const {
    if (column < 0 || column >= columnAlignments.size())
        return Qt::AlignLeft;
    return columnAlignments[column];
}

void CListViewEx::SetTextBkColor(const QColor& color) {
    textBackColor = color;
    viewport()->update();
}

void CListViewEx::SetBkColor(const QColor& color) {
    backColor = color;
    QPalette colours = palette();
    colours.setColor(QPalette::Base, color);
    setPalette(colours);
}

void CListViewEx::SetStateImageWidth(int width) {
    stateImageWidth = width > 0 ? width : 0;
    viewport()->update();
}

QString CListViewEx::FitTextWithEllipsis(const QFontMetrics& metrics, const QString& text,
                                         int width, int offset) {
    if (text.isEmpty() || metrics.horizontalAdvance(text) + offset <= width)
        return text;
    static const QString dots = QStringLiteral("...");
    const int dotsWidth = metrics.horizontalAdvance(dots);
    // The longest start, below the whole text and of at least one character, that fits with the
    // dots. A start never gets narrower when a character is added to it, so the search can halve
    // the range instead of trying every length from the end (a long text in a narrow column
    // would otherwise be measured hundreds of times for every row drawn).
    auto fits = [&](qsizetype length) {
        return metrics.horizontalAdvance(text.left(length)) + offset + dotsWidth <= width;
    };
    qsizetype keep = 1; // kept even when nothing fits
    qsizetype low = 2;
    qsizetype high = text.size() - 1;
    while (low <= high) {
        const qsizetype middle = low + (high - low) / 2;
        if (fits(middle)) {
            keep = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return text.left(keep) + dots;
}

int CListViewEx::WholeTextWidth(const QFontMetrics& metrics, const QString& text, int column) {
    return metrics.horizontalAdvance(text) + (column == 0 ? firstColumnOffset : otherColumnOffset);
}

CListViewEx::Cell CListViewEx::LayoutCell(const QModelIndex& index, int column,
                                          const QRect& rowRect, const QFontMetrics& metrics) const {
    const QHeaderView* head = header();
    QRect rect(head->sectionViewportPosition(column), rowRect.top(), head->sectionSize(column),
               rowRect.height());
    const QModelIndex cellIndex = index.siblingAtColumn(column);
    const QString text = ItemText(cellIndex);
    // A cell's icon stands before its text, which gives up the icon's room.
    const QIcon icon = cellIndex.data(Qt::DecorationRole).value<QIcon>();
    QRect iconRect;
    if (!icon.isNull()) {
        const int inset = column == 0 ? firstColumnInset : otherColumnInset;
        const int side = qMin(rect.height() - 2,
                              style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this));
        iconRect = QRect(rect.left() + inset, rect.top() + (rect.height() - side) / 2, side, side);
        rect.setLeft(qMin(rect.right(), iconRect.right() + 1));
    }
    if (column == 0) {
        // The first column always reads from the left, whatever its declared alignment, and
        // gives up the room of the state images.
        rect.setRight(rect.right() - stateImageWidth);
        return {rect.adjusted(firstColumnInset, 0, -firstColumnInset, 0),
                FitTextWithEllipsis(metrics, text, rect.width(), firstColumnOffset), Qt::AlignLeft,
                icon, iconRect};
    }
    const QRect inner = rect.adjusted(otherColumnInset, 0, -otherColumnInset, 0);
    // An empty cell draws nothing; the next column keeps its place all the same.
    if (text.isEmpty())
        return {inner, QString(), Qt::AlignLeft, icon, iconRect};
    const QString shown = FitTextWithEllipsis(metrics, text, rect.width(), otherColumnOffset);
    // A shortened text reads from its start; only a whole text keeps its column's alignment.
    Qt::Alignment alignment = Qt::AlignLeft;
    if (shown.size() == text.size()) {
        const Qt::Alignment declared = ColumnAlignment(column);
        if (declared & Qt::AlignRight)
            alignment = Qt::AlignRight;
        else if (declared & Qt::AlignHCenter)
            alignment = Qt::AlignHCenter;
    }
    return {inner, shown, alignment, icon, iconRect};
}

CListViewEx::Cell CListViewEx::CellAt(int row, int column) const {
    const QModelIndex index = model()->index(row, column);
    if (!index.isValid())
        return {};
    return LayoutCell(index, column, visualRect(index), QFontMetrics(font()));
}

bool CListViewEx::RowSelected(const QModelIndex& index) const {
    // Without "show selection always" a selection is only drawn while the list has the focus.
    if (!hasFocus() && !showSelectionAlways)
        return false;
    return selectionModel() != nullptr &&
           selectionModel()->isRowSelected(index.row(), index.parent());
}

void CListViewEx::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    if (!fullRowSelect) {
        QTreeWidget::drawRow(painter, option, index);
        return;
    }
    const QHeaderView* head = header();
    const int columns = head->count();
    if (columns == 0)
        return;
    const int top = option.rect.top();
    const int height = option.rect.height();
    const int left = head->sectionViewportPosition(0);
    int right = left;
    for (int column = 0; column < columns; ++column)
        right = qMax(right, head->sectionViewportPosition(column) + head->sectionSize(column));

    QRect highlight(QPoint(left, top), QPoint(right - 1, top + height - 1));
    if (highlightToClientWidth && highlight.right() + 1 < clientWidth)
        highlight.setRight(clientWidth - 1);

    const bool selected = RowSelected(index);
    painter->save();
    painter->fillRect(highlight, selected ? palette().color(QPalette::Highlight) : textBackColor);
    painter->setPen(selected ? palette().color(QPalette::HighlightedText)
                             : palette().color(QPalette::Text));
    const QFontMetrics metrics(painter->font());
    const int flags = Qt::TextSingleLine | Qt::AlignVCenter | Qt::TextDontClip;
    for (int column = 0; column < columns; ++column) {
        const Cell cell = LayoutCell(index, column, option.rect, metrics);
        if (!cell.icon.isNull() && cell.iconRect.isValid())
            cell.icon.paint(painter, cell.iconRect, Qt::AlignCenter,
                            selected ? QIcon::Selected : QIcon::Normal);
        if (!cell.text.isEmpty())
            painter->drawText(cell.rect, flags | int(cell.alignment), cell.text);
    }

    if (hasFocus() && currentIndex().isValid() && currentIndex().row() == index.row() &&
        currentIndex().parent() == index.parent()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = highlight;
        focus.backgroundColor = selected ? palette().color(QPalette::Highlight) : textBackColor;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, this);
    }
    painter->restore();
}

bool CListViewEx::viewportEvent(QEvent* event) {
    // The client area is the viewport: its width changes with the control and the scroll bars.
    if (event->type() == QEvent::Resize)
        clientWidth = static_cast<QResizeEvent*>(event)->size().width();
    return QTreeWidget::viewportEvent(event);
}

void CListViewEx::selectionChanged(const QItemSelection& selected,
                                   const QItemSelection& deselected) {
    QTreeWidget::selectionChanged(selected, deselected);
    // The view repaints only the columns of a changed row; the highlight beyond the last column
    // must go and come with it.
    if (fullRowSelect)
        viewport()->update();
}

void CListViewEx::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeWidget::currentChanged(current, previous);
    if (fullRowSelect)
        viewport()->update(); // the focus frame spans the whole highlight
}

void CListViewEx::focusInEvent(QFocusEvent* event) {
    QTreeWidget::focusInEvent(event);
    InvalidateSelectedRows();
}

void CListViewEx::focusOutEvent(QFocusEvent* event) {
    QTreeWidget::focusOutEvent(event);
    InvalidateSelectedRows();
}

void CListViewEx::InvalidateSelectedRows() {
    // The whole highlight of a selected row changes with the focus, not just its first cell.
    if (fullRowSelect)
        viewport()->update();
}
