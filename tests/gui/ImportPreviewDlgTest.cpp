#include "core/ImportPreview.h"
#include "gui/ImportPreviewDlg.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

// Where the name of the details line holding `number` starts, in the viewport's pixels.
int NameStart(QPlainTextEdit* details, const QString& number) {
    for (QTextBlock block = details->document()->begin(); block.isValid(); block = block.next()) {
        const int at = block.text().indexOf(number);
        if (at < 0)
            continue;
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + block.text().indexOf(u'\t', at) + 1);
        return details->cursorRect(cursor).left();
    }
    ADD_FAILURE() << "no line with " << number.toStdString();
    return -1;
}

} // namespace

TEST(ImportPreviewDialog, NamesLineUpWhateverTheNumbersLength) {
    ImportPreview preview;
    preview.added = {{"0987654", "Pizza Service", "0987654", "book.vcf:3"},
                     {"00442079460018", "Mary Smith", "+44 20 7946 0018", "book.vcf:7"},
                     {"030123456789012", "Long Number", "030123456789012", "book.vcf:9"}};
    preview.alreadyThere = {{{"0891112233", "Anna", "0891112233", "book.vcf:12"}, "Anna B."}};
    ImportPreviewDlg dialog(preview, QStringLiteral("Numbers as the line delivers them in DE."));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* details = dialog.findChild<QPlainTextEdit*>(QStringLiteral("IDC_IMPORT_DETAILS"));
    ASSERT_NE(details, nullptr);
    const int first = NameStart(details, QStringLiteral("0987654"));
    EXPECT_GT(first, 0);
    EXPECT_EQ(NameStart(details, QStringLiteral("00442079460018")), first);
    EXPECT_EQ(NameStart(details, QStringLiteral("030123456789012")), first);
    EXPECT_EQ(NameStart(details, QStringLiteral("0891112233")), first);
    auto* add = dialog.findChild<QPushButton*>(QStringLiteral("IDOK"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->text(), "Add 3 entries");
}
