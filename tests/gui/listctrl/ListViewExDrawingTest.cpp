// The full-row list drawn offscreen and read back pixel by pixel: the highlight, the alignment
// of whole and shortened texts, empty cells, colours and the state-image room.
#include "gui/CListViewEx.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

const QColor highlightColour(0, 0, 200);
const QColor baseColour(Qt::white);

bool Dark(QRgb pixel) {
    return qGray(pixel) < 128;
}

// First and last x in [from, to) with a dark pixel in the rows of `area`; -1 when none.
std::pair<int, int> InkRange(const QImage& image, const QRect& area, int from, int to) {
    int first = -1;
    int last = -1;
    for (int x = from; x < to && x < image.width(); ++x)
        for (int y = area.top(); y <= area.bottom() && y < image.height(); ++y)
            if (Dark(image.pixel(x, y))) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

} // namespace

class ListDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        QPalette colours = list.palette();
        colours.setColor(QPalette::Base, baseColour);
        colours.setColor(QPalette::Text, Qt::black);
        colours.setColor(QPalette::Highlight, highlightColour);
        colours.setColor(QPalette::HighlightedText, Qt::white);
        list.setPalette(colours);
        list.SetTextBkColor(baseColour);
        // Another control to hold the focus, so the list shows its selection without it.
        elsewhere.setParent(&window);
        elsewhere.setGeometry(0, 210, 100, 20);
        list.setParent(&window);
        list.setGeometry(0, 0, 600, 200);
        window.resize(600, 240);
        list.InsertColumn(0, "number", Qt::AlignRight, 100);
        list.InsertColumn(1, "name", Qt::AlignRight, 150);
        list.InsertColumn(2, "speak text", Qt::AlignLeft, 100);
        list.SetFullRowSelect(true);
        AddRow({"12", "ab", "x"});
        AddRow({"34", "A name much too long for this column of the list", "y"});
        AddRow({"56", "", "xyz"});
        window.show();
        QApplication::processEvents();
        elsewhere.setFocus();
        QApplication::processEvents();
    }
    QTreeWidgetItem* AddRow(const QStringList& texts) { return new QTreeWidgetItem(&list, texts); }
    QImage Render() {
        QApplication::processEvents();
        return list.viewport()->grab().toImage();
    }
    QRect Row(int row) { return list.visualItemRect(list.topLevelItem(row)); }
    int ColumnStart(int column) { return list.header()->sectionViewportPosition(column); }
    QColor Pixel(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

    QWidget window;
    QLineEdit elsewhere;
    CListViewEx list;
};

TEST_F(ListDrawing, SelectedRowIsHighlightedToTheRightEdgeWithoutFocus) {
    list.setCurrentItem(list.topLevelItem(0));
    ASSERT_FALSE(list.hasFocus());
    const QImage image = Render();
    const int y = Row(0).top() + 1;
    const int rightEdge = list.viewport()->width() - 1;
    ASSERT_GT(rightEdge, 360) << "the columns end well before the edge";
    EXPECT_EQ(Pixel(image, 1, y), highlightColour);
    EXPECT_EQ(Pixel(image, 355, y), highlightColour);
    EXPECT_EQ(Pixel(image, rightEdge, y), highlightColour);
    EXPECT_EQ(Pixel(image, rightEdge, Row(1).top() + 1), baseColour) << "other rows stay plain";
}

TEST_F(ListDrawing, HighlightEndsWithTheColumnsWhenNotAskedToReachTheEdge) {
    list.highlightToClientWidth = false;
    list.setCurrentItem(list.topLevelItem(0));
    const QImage image = Render();
    const int y = Row(0).top() + 1;
    EXPECT_EQ(Pixel(image, 345, y), highlightColour);
    EXPECT_EQ(Pixel(image, 360, y), baseColour);
}

TEST_F(ListDrawing, SelectionIsHiddenWithoutFocusUnlessShownAlways) {
    list.showSelectionAlways = false;
    list.setCurrentItem(list.topLevelItem(0));
    ASSERT_FALSE(list.hasFocus());
    const QImage image = Render();
    EXPECT_EQ(Pixel(image, 355, Row(0).top() + 1), baseColour);
}

TEST_F(ListDrawing, FocusedListShowsItsSelectionEvenWithoutShowAlways) {
    list.showSelectionAlways = false;
    list.setCurrentItem(list.topLevelItem(0));
    list.setFocus();
    const QImage image = Render();
    ASSERT_TRUE(list.hasFocus());
    EXPECT_EQ(Pixel(image, 355, Row(0).top() + 2), highlightColour);
}

TEST_F(ListDrawing, FittingTextKeepsItsColumnAlignmentAndShortenedTextReadsFromTheLeft) {
    const QImage image = Render();
    const int nameStart = ColumnStart(1);
    const int nameEnd = ColumnStart(2);
    const auto [fitFirst, fitLast] = InkRange(image, Row(0), nameStart, nameEnd);
    ASSERT_GE(fitFirst, 0);
    EXPECT_GT(fitFirst, nameStart + 75) << "a right-aligned text that fits sits on the right";
    EXPECT_LE(fitLast, nameEnd - 6);
    EXPECT_GE(fitLast, nameEnd - 12);

    const auto [cutFirst, cutLast] = InkRange(image, Row(1), nameStart, nameEnd);
    ASSERT_GE(cutFirst, 0);
    EXPECT_GE(cutFirst, nameStart + 6);
    EXPECT_LE(cutFirst, nameStart + 10) << "a shortened text starts at the left";
    EXPECT_LE(cutLast, nameEnd - 6) << "and stays inside its column";
    EXPECT_TRUE(list.CellAt(1, 1).text.endsWith("..."));

    // The first column is declared right-aligned but always drawn from the left.
    const auto [numberFirst, numberLast] = InkRange(image, Row(0), 0, nameStart);
    ASSERT_GE(numberFirst, 0);
    EXPECT_LE(numberFirst, 6);
    EXPECT_LT(numberLast, 50);
}

TEST_F(ListDrawing, EmptyCellDrawsNothingAndTheNextColumnKeepsItsPlace) {
    const QImage image = Render();
    const auto [emptyFirst, emptyLast] = InkRange(image, Row(2), ColumnStart(1), ColumnStart(2));
    EXPECT_EQ(emptyFirst, -1);
    const auto [nextFirst, nextLast] =
        InkRange(image, Row(2), ColumnStart(2), ColumnStart(2) + 100);
    EXPECT_GE(nextFirst, ColumnStart(2) + 6);
    EXPECT_LE(nextFirst, ColumnStart(2) + 10);
}

TEST_F(ListDrawing, UnselectedRowsTakeTheTextBackgroundColour) {
    const QColor yellow(255, 255, 0);
    list.SetTextBkColor(yellow);
    list.setCurrentItem(list.topLevelItem(0));
    const QImage image = Render();
    EXPECT_EQ(Pixel(image, 355, Row(1).top() + 1), yellow);
    EXPECT_EQ(Pixel(image, 355, Row(0).top() + 1), highlightColour);
}

TEST_F(ListDrawing, StateImagesNarrowTheFirstColumnText) {
    const QFontMetrics metrics(list.font());
    // A number that fits the 100-pixel column, but not once 12 pixels are given up.
    QString number;
    while (metrics.horizontalAdvance(number) + 4 <= 100 - 12)
        number += QLatin1Char('8');
    ASSERT_LE(metrics.horizontalAdvance(number) + 4, 100);
    list.topLevelItem(0)->setText(0, number);
    EXPECT_EQ(list.CellAt(0, 0).text, number);
    list.SetStateImageWidth(12);
    EXPECT_TRUE(list.CellAt(0, 0).text.endsWith("..."));
    EXPECT_TRUE(number.startsWith(list.CellAt(0, 0).text.chopped(3)));
}

TEST_F(ListDrawing, VeryLongTextsAreReadUpTo259Characters) {
    list.setColumnWidth(2, 20000);
    list.topLevelItem(0)->setText(2, QString(400, QLatin1Char('z')));
    EXPECT_EQ(list.CellAt(0, 2).text, QString(259, QLatin1Char('z')));
    list.setColumnWidth(2, 100);
    EXPECT_TRUE(list.CellAt(0, 2).text.endsWith("..."));
    Render(); // and drawing it is safe
}

TEST_F(ListDrawing, FullRowDrawingSwitchesOnAndOffOnce) {
    EXPECT_EQ(list.IsFullRowSelect(), 1);
    EXPECT_EQ(list.SetFullRowSelect(true), 0);
    EXPECT_EQ(list.SetFullRowSelect(false), 1);
    EXPECT_EQ(list.IsFullRowSelect(), 0);
}
