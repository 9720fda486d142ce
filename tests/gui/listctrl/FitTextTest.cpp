// Shortening texts with "..." measured with the real metrics of a real font.
#include "gui/CListViewEx.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

QFontMetrics Metrics() {
    return QFontMetrics(QApplication::font());
}

int Width(const QString& text) {
    return Metrics().horizontalAdvance(text);
}

} // namespace

TEST(FitTextWithEllipsis, TextThatFitsWithItsOffsetIsUnchanged) {
    const QString text = QStringLiteral("Anna Example");
    EXPECT_EQ(CListViewEx::FitTextWithEllipsis(Metrics(), text, Width(text) + 4, 4), text);
    EXPECT_EQ(CListViewEx::FitTextWithEllipsis(Metrics(), text, Width(text) + 12, 12), text);
    EXPECT_EQ(CListViewEx::FitTextWithEllipsis(Metrics(), QString(), 0, 12), QString());
}

TEST(FitTextWithEllipsis, KeepsTheLongestStartThatFitsWithTheDots) {
    const QString text = QStringLiteral("Office Munich with a long name");
    const int dots = Width(QStringLiteral("..."));
    for (int offset : {4, 12}) {
        for (int width = Width(text) + offset - 1; width > 0; width -= 7) {
            const QString shown = CListViewEx::FitTextWithEllipsis(Metrics(), text, width, offset);
            ASSERT_TRUE(shown.endsWith(QStringLiteral("..."))) << width;
            const QString kept = shown.chopped(3);
            ASSERT_GE(kept.size(), 1) << "the first character always stays";
            EXPECT_TRUE(text.startsWith(kept));
            if (kept.size() > 1) {
                EXPECT_LE(Width(kept) + offset + dots, width) << width;
            }
            if (kept.size() < text.size() - 1) {
                EXPECT_GT(Width(text.left(kept.size() + 1)) + offset + dots, width)
                    << "one more character would have fitted at " << width;
            }
        }
    }
}

TEST(FitTextWithEllipsis, NarrowColumnStillShowsTheFirstCharacter) {
    EXPECT_EQ(CListViewEx::FitTextWithEllipsis(Metrics(), QStringLiteral("Wilhelm"), 3, 12),
              QStringLiteral("W..."));
    EXPECT_EQ(CListViewEx::FitTextWithEllipsis(Metrics(), QStringLiteral("W"), 1, 4),
              QStringLiteral("W..."));
}
