#pragma once
// A report list that highlights a selected row across all its columns, out to the right edge
// of the control, keeps the highlight when the focus is elsewhere, and ends texts too long for
// their column with "...".

#include <QColor>
#include <QFontMetrics>
#include <QIcon>
#include <QString>
#include <QTreeWidget>

class CListViewEx : public QTreeWidget {
public:
    explicit CListViewEx(QWidget* parent = nullptr);

    // Turns full-row drawing on or off; non-zero when that changed the control.
    int SetFullRowSelect(bool on);
    int IsFullRowSelect() const { return fullRowSelect; }

    // A column with its heading, declared alignment and width in pixels. The first column is
    // always drawn left-aligned; the others follow their declared alignment while their text
    // fits.
    void InsertColumn(int column, const QString& heading, Qt::Alignment alignment, int width);
    Qt::Alignment ColumnAlignment(int column) const;

    void SetTextBkColor(const QColor& color); // background of unselected rows
    void SetBkColor(const QColor& color);     // background of the control
    QColor TextBkColor() const { return textBackColor; }
    QColor BkColor() const { return backColor; }
    // Width of the state images; the first column's text gives up that much room.
    void SetStateImageWidth(int width);

    // The highlight of a selected row reaches the right edge of the control.
    bool highlightToClientWidth = true;
    // A selected row stays highlighted while the focus is elsewhere.
    bool showSelectionAlways = true;

    // `text` as it fits in `width` pixels when `offset` pixels are kept free: unchanged when it
    // fits, else as many leading characters as fit (at least one) followed by "...".
    static QString FitTextWithEllipsis(const QFontMetrics& metrics, const QString& text, int width,
                                       int offset);

    // The narrowest column in which `text` is drawn whole (no state images).
    static int WholeTextWidth(const QFontMetrics& metrics, const QString& text, int column);

    // Item texts are read with at most this many characters.
    static constexpr int maxItemText = 259;

    // How one cell of a full-row list is drawn: where, which text and aligned how. Rows and
    // columns out of range give an empty text.
    struct Cell {
        QRect rect; // in viewport coordinates, already narrowed by the cell's inner margins
        QString text;
        Qt::Alignment alignment;
        QIcon icon;     // the item's icon for the cell, drawn before the text; null: none
        QRect iconRect; // where it is drawn
    };
    Cell CellAt(int row, int column) const;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    bool viewportEvent(QEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    Cell LayoutCell(const QModelIndex& index, int column, const QRect& rowRect,
                    const QFontMetrics& metrics) const;
    bool RowSelected(const QModelIndex& index) const;
    void InvalidateSelectedRows();

    bool fullRowSelect = false;
    int clientWidth = 0;
    int stateImageWidth = 0;
    QColor textBackColor;
    QColor backColor;
    QList<Qt::Alignment> columnAlignments;
};
