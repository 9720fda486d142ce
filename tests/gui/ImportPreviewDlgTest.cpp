#include "gui/ImportPreviewDlg.h"
#include "core/ImportPreview.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <future>

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

TEST(ImportPreviewDialog, ThousandsOfEntriesFillInPiecesWhileTheDialogAnswers) {
    ImportPreview preview;
    for (int i = 0; i < 3 * ImportPreviewDlg::LinesAtOnce; ++i)
        preview.added.push_back({"030" + std::to_string(1000000 + i), "Name " + std::to_string(i),
                                 "", "book.vcf:" + std::to_string(i + 1)});
    ImportPreviewDlg dialog(preview, QStringLiteral("Numbers as the line delivers them in DE."));
    EXPECT_FALSE(dialog.Filled());
    auto* summary = dialog.findChild<QLabel*>(QStringLiteral("IDC_IMPORT_SUMMARY"));
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->text().contains(QStringLiteral("Showing")));
    bool answered = false; // an event handled while the entries are still being filled in
    QTimer::singleShot(0, &dialog, [&] { answered = !dialog.Filled(); });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Filled(); }, 60000));
    EXPECT_TRUE(answered);
    auto* details = dialog.findChild<QPlainTextEdit*>(QStringLiteral("IDC_IMPORT_DETAILS"));
    ASSERT_NE(details, nullptr);
    // "To add:" and one line per entry, in their order.
    EXPECT_EQ(details->document()->blockCount(), 1 + 3 * ImportPreviewDlg::LinesAtOnce);
    EXPECT_EQ(details->document()->lastBlock().text(),
              QStringLiteral("  03010%1\tName %2\t(book.vcf:%3)")
                  .arg(3 * ImportPreviewDlg::LinesAtOnce - 1, 5, 10, QLatin1Char('0'))
                  .arg(3 * ImportPreviewDlg::LinesAtOnce - 1)
                  .arg(3 * ImportPreviewDlg::LinesAtOnce));
    EXPECT_FALSE(summary->text().contains(QStringLiteral("Showing")));
}

namespace {

// An import whose files are "read" by the test: one number each, from `Anna`.
struct ImportScene {
    ImportScene() {
        setenv("LC_ALL", "de_DE.UTF-8", 1);
        dialogs.chooseFiles = [](QWidget*) { return QStringList{QStringLiteral("book.vcf")}; };
        dialogs.showWarning = [this](QWidget*, const QString& text) {
            warnings.push_back(text.toStdString());
        };
        dialogs.confirm = [this](QWidget*, const ImportPreview& preview, const QString&) {
            previews.push_back(preview.added.size());
            return true;
        };
        released = release.get_future().share();
        dialogs.readFile = [this](const std::string& path) {
            readOnGuiThread = QThread::currentThread() == qApp->thread();
            // Held until the test lets it go from the event loop; on the GUI thread that could
            // never happen, so there it returns at once and the test fails on the flag.
            if (!readOnGuiThread)
                released.wait();
            ContactFile file{path, {}, ""};
            file.contacts.numbers = {{"Anna", "+49 30 1234567", 3}};
            return file;
        };
    }
    ~ImportScene() { unsetenv("LC_ALL"); }

    PhoneBookImportDialogs dialogs;
    std::promise<void> release;
    std::shared_future<void> released;
    std::atomic<bool> readOnGuiThread{false};
    std::vector<std::string> warnings;
    std::vector<size_t> previews;
    Directory phoneBook;
};

} // namespace

TEST(PhoneBookImport, FilesAreReadAsideWhileTheEventLoopGoesOn) {
    ImportScene scene;
    // Runs only if the event loop runs while the file is being read.
    QObject guard; // the timer ends with the test
    QTimer::singleShot(0, &guard, [&] { scene.release.set_value(); });
    EXPECT_EQ(RunPhoneBookImport(nullptr, scene.phoneBook, scene.dialogs), 1u);
    EXPECT_FALSE(scene.readOnGuiThread);
    EXPECT_TRUE(scene.warnings.empty());
    EXPECT_EQ(scene.previews, std::vector<size_t>{1});
    ASSERT_NE(scene.phoneBook.findByKey("0301234567"), nullptr);
    EXPECT_EQ(scene.phoneBook.findByKey("0301234567")->value, "Anna");
}

TEST(PhoneBookImport, CancelInTheProgressDialogStopsTheImport) {
    ImportScene scene;
    // The progress dialog shows after a moment; its cancel button ends the import, and only
    // then is the reading let go.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<QProgressDialog*>(widget);
            if (progress == nullptr || !progress->isVisible() ||
                progress->objectName() != QStringLiteral("IDD_IMPORT_PROGRESS"))
                continue;
            poll.stop();
            progress->findChild<QPushButton*>()->click();
            scene.release.set_value();
            return;
        }
    });
    poll.start(20);
    // Should the dialog never show, the reading is let go all the same and the test fails below.
    QTimer::singleShot(60000, &poll, [&] {
        if (poll.isActive()) {
            poll.stop();
            scene.release.set_value();
        }
    });
    EXPECT_EQ(RunPhoneBookImport(nullptr, scene.phoneBook, scene.dialogs), 0u);
    EXPECT_TRUE(scene.previews.empty());
    EXPECT_EQ(scene.phoneBook.size(), 0u);
}
