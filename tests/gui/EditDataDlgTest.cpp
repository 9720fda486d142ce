#include "gui/CEditDataDlg.h"
#include "gui/Cp1252Text.h"
#include "gui/ResourceIds.h"
#include "platform/ShowMessage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

DirectoryEntry Entry(OptText key, OptText name, OptText speak) {
    DirectoryEntry entry;
    entry.key = std::move(key);
    entry.value = std::move(name);
    entry.speakText = std::move(speak);
    return entry;
}

template <typename T> T* Child(QWidget& parent, const ResourceId& id) {
    T* child = parent.findChild<T*>(id.objectName);
    EXPECT_NE(child, nullptr) << id.objectName;
    return child;
}

void Retype(QLineEdit* box, const QString& text) {
    box->clear();
    QTest::keyClicks(box, text);
}

// Types each character as the keyboard delivers it, letters outside ASCII included.
void Type(QLineEdit* box, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
}

} // namespace

TEST(EditDataDlg, ExistingNumberIsShownDisabledAndKeptOnOk) {
    DirectoryEntry entry = Entry("0301234567", "Anna", "Anni");
    CEditDataDlg dialog(entry, false);
    EXPECT_FALSE(dialog.findChild<QLabel*>("IDC_EDIT_STORED_AS")->isVisibleTo(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "edit data");
    auto* number = Child<QLineEdit>(dialog, Ids::EditNumber);
    auto* name = Child<QLineEdit>(dialog, Ids::EditName);
    auto* speak = Child<QLineEdit>(dialog, Ids::EditSpeak);
    EXPECT_EQ(number->text(), "0301234567");
    EXPECT_FALSE(number->isEnabled());
    EXPECT_EQ(name->text(), "Anna");
    EXPECT_EQ(speak->text(), "Anni");
    Retype(name, "Anna Berger");
    Retype(speak, "");
    Child<QPushButton>(dialog, Ids::Ok)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(entry.key, "0301234567");
    EXPECT_EQ(entry.value, "Anna Berger");
    ASSERT_TRUE(entry.speakText.has_value());
    EXPECT_EQ(*entry.speakText, "");
}

TEST(EditDataDlg, NewEntryGetsAnEditableNumberAndAllTextsPresent) {
    DirectoryEntry entry = Entry(std::nullopt, std::nullopt, std::nullopt);
    CEditDataDlg dialog(entry, false);
    auto* number = Child<QLineEdit>(dialog, Ids::EditNumber);
    EXPECT_TRUE(number->isEnabled());
    Retype(number, "5553");
    Child<QPushButton>(dialog, Ids::Ok)->click();
    EXPECT_EQ(entry.key, "5553");
    EXPECT_EQ(entry.value, std::optional<std::string>(""));
    EXPECT_EQ(entry.speakText, std::optional<std::string>(""));
}

TEST(EditDataDlg, HiddenSpeakTextIsLeftUntouched) {
    DirectoryEntry entry = Entry("5550", "", std::nullopt);
    CEditDataDlg dialog(entry, true);
    dialog.show();
    EXPECT_FALSE(Child<QLineEdit>(dialog, Ids::EditSpeak)->isVisible());
    EXPECT_FALSE(Child<QLabel>(dialog, Ids::EditSpeakLabel)->isVisible());
    // With the speak box hidden the number stays editable, even when one is given.
    auto* number = Child<QLineEdit>(dialog, Ids::EditNumber);
    EXPECT_TRUE(number->isEnabled());
    Retype(number, "5554");
    Retype(Child<QLineEdit>(dialog, Ids::EditName), "Fax");
    Child<QPushButton>(dialog, Ids::Ok)->click();
    EXPECT_EQ(entry.key, "5554");
    EXPECT_EQ(entry.value, "Fax");
    EXPECT_FALSE(entry.speakText.has_value());
}

TEST(EditDataDlg, CancelLeavesTheEntryExactlyAsItWas) {
    DirectoryEntry entry = Entry("", std::nullopt, "x");
    CEditDataDlg dialog(entry, false);
    Retype(Child<QLineEdit>(dialog, Ids::EditNumber), "123");
    Retype(Child<QLineEdit>(dialog, Ids::EditName), "Somebody");
    auto* cancel = Child<QPushButton>(dialog, Ids::Cancel);
    // One German word in an English interface was a slip: the button says what OK's partner says.
    EXPECT_EQ(cancel->text(), "&Cancel");
    cancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(entry.key, "");
    EXPECT_FALSE(entry.value.has_value());
    EXPECT_EQ(entry.speakText, "x");
}

TEST(EditDataDlg, LaidOutInRowsInsideTheDialog) {
    DirectoryEntry entry = Entry("1", "2", "3");
    CEditDataDlg dialog(entry, false);
    dialog.show();
    QRect number = Child<QLineEdit>(dialog, Ids::EditNumber)->geometry();
    QRect name = Child<QLineEdit>(dialog, Ids::EditName)->geometry();
    QRect speak = Child<QLineEdit>(dialog, Ids::EditSpeak)->geometry();
    QRect ok = Child<QPushButton>(dialog, Ids::Ok)->geometry();
    QRect cancel = Child<QPushButton>(dialog, Ids::Cancel)->geometry();
    // Boxes one below the other in one column, buttons side by side below them.
    EXPECT_LE(number.bottom(), name.top() + 1);
    EXPECT_LE(name.bottom(), speak.top() + 1);
    EXPECT_EQ(number.left(), name.left());
    EXPECT_LT(speak.bottom(), ok.top());
    EXPECT_LT(ok.right(), cancel.left());
    EXPECT_TRUE(dialog.rect().contains(cancel));
    EXPECT_TRUE(dialog.rect().contains(speak));
    // 99 by 14 dialog units: a box is about seven times as wide as high in any font.
    EXPECT_GT(number.width(), 4 * number.height());
}

TEST(EditDataDlg, TextsAreWindows1252AndOtherCharactersAreRefusedAtTheBox) {
    DirectoryEntry entry = Entry("5551", "M\xfcller \x80", "");
    CEditDataDlg dialog(entry, false);
    dialog.show();
    auto* name = Child<QLineEdit>(dialog, Ids::EditName);
    EXPECT_EQ(name->text(), QString::fromUtf8("M\u00fcller \u20ac"));
    name->clear();
    Type(name, QString::fromUtf8("\u0141ukasz M\u00fcller \u20ac"));
    EXPECT_EQ(name->text(), QString::fromUtf8("ukasz M\u00fcller \u20ac"));
    EXPECT_EQ(QToolTip::text(), Cp1252RefusalText(U'\u0141'));
    // A paste with such a character is refused whole, never stored with a "?".
    auto* speak = Child<QLineEdit>(dialog, Ids::EditSpeak);
    speak->insert(QString::fromUtf8("Lukas \u0142"));
    EXPECT_EQ(speak->text(), "");
    Child<QPushButton>(dialog, Ids::Ok)->click();
    EXPECT_EQ(entry.value, "ukasz M\xfcller \x80");
    EXPECT_EQ(entry.speakText, "");
}

TEST(EditDataDlg, LabelsShowTheirWholeTextInTheDialogsRealFont) {
    const QFont original = QApplication::font();
    for (int points : {9, 22}) {
        QFont font = original;
        font.setPointSize(points);
        QApplication::setFont(font);
        DirectoryEntry entry = Entry("", "2", "3");
        CEditDataDlg dialog(entry, false, nullptr, std::string("DE"));
        Child<QLineEdit>(dialog, Ids::EditNumber)->setText("+49 30 5551234");
        dialog.show();
        const QRect number = Child<QLineEdit>(dialog, Ids::EditNumber)->geometry();
        auto* storedAs = dialog.findChild<QLabel*>("IDC_EDIT_STORED_AS");
        ASSERT_NE(storedAs, nullptr);
        EXPECT_GE(storedAs->width(), storedAs->sizeHint().width());
        EXPECT_GE(storedAs->geometry().top(), number.bottom());
        QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        labels.removeOne(storedAs);
        ASSERT_EQ(labels.size(), 3);
        for (const QLabel* label : labels) {
            // The mnemonic's "&" is not drawn: the label's own hint is what it needs.
            EXPECT_GE(label->width(), label->sizeHint().width())
                << label->text().toStdString() << " at " << points << " pt";
            EXPECT_LT(label->geometry().right(), number.left());
        }
        for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
            EXPECT_GE(button->width(), button->sizeHint().width());
            EXPECT_TRUE(dialog.rect().contains(button->geometry()));
        }
    }
    QApplication::setFont(original);
}

TEST(EditDataDlg, NumbersAreStoredAsTheLineDeliversThem) {
    struct Case {
        const char* typed;
        const char* country;
        bool ownLine;
        const char* stored; // empty: refused
    };
    const Case cases[] = {
        {"030 555-12 34", "DE", false, "0305551234"},
        {"+49 (0)30 5551234", "DE", false, "0305551234"},
        {"+44 20 7946 0018", "DE", false, "00442079460018"},
        {"(089) 12 34 56", "", false, "089123456"}, // no country known: the digits
        {"21", "DE", false, "21"},                  // an extension of the own exchange
        {"555-3", "DE", true, "5553"},              // an MSN keeps its digits
        {"0049 30 5551234", "DE", true, "0049305551234"},
        {"", "DE", false, ""},
        {" - ", "DE", false, ""},
        {"+49 30 5551234", "", false, ""}, // abroad or at home: unknown without a country
        {"call me", "DE", false, ""},
        {"5553a", "DE", true, ""},
    };
    for (const Case& c : cases) {
        const NumberToStore number = NumberForStoring(c.typed, c.country, c.ownLine);
        EXPECT_EQ(number.number, c.stored) << c.typed;
        EXPECT_EQ(number.problem.isEmpty(), *c.stored != '\0') << c.typed;
    }
}

TEST(EditDataDlg, TypedNumberIsShownAsStoredAndStoredSo) {
    DirectoryEntry entry = Entry("", std::nullopt, std::nullopt);
    CEditDataDlg dialog(entry, false, nullptr, std::string("DE"));
    auto* storedAs = dialog.findChild<QLabel*>("IDC_EDIT_STORED_AS");
    auto* ok = Child<QPushButton>(dialog, Ids::Ok);
    EXPECT_FALSE(ok->isEnabled()) << "no number yet";
    Retype(Child<QLineEdit>(dialog, Ids::EditNumber), "030 555-12 34");
    EXPECT_EQ(storedAs->text(), "stored as 0305551234");
    EXPECT_TRUE(ok->isEnabled());
    Retype(Child<QLineEdit>(dialog, Ids::EditName), "Anna");
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(entry.key, "0305551234");
    EXPECT_EQ(entry.value, "Anna");
}

TEST(EditDataDlg, AnEntryWithoutANumberIsRefused) {
    DirectoryEntry entry = Entry("", "before", std::nullopt);
    CEditDataDlg dialog(entry, true, nullptr, std::string("DE"));
    Retype(Child<QLineEdit>(dialog, Ids::EditNumber), " ");
    Retype(Child<QLineEdit>(dialog, Ids::EditName), "Nobody");
    EXPECT_FALSE(Child<QPushButton>(dialog, Ids::Ok)->isEnabled());
    EXPECT_EQ(dialog.findChild<QLabel*>("IDC_EDIT_STORED_AS")->text(), "Enter a number.");
    dialog.accept(); // Enter in a box
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(entry.key, "");
    EXPECT_EQ(entry.value, "before");
}

TEST(EditDataDlg, EveryBoxIsNamedAndReachedByItsLabelsMnemonic) {
    DirectoryEntry entry = Entry("", "", "");
    CEditDataDlg dialog(entry, false);
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->objectName() == "IDC_EDIT_STORED_AS")
            continue;
        ASSERT_NE(label->buddy(), nullptr) << label->text().toStdString();
        EXPECT_TRUE(label->text().contains('&')) << label->text().toStdString();
        EXPECT_EQ(label->buddy()->accessibleName(), QString(label->text()).remove('&'));
    }
    for (const QPushButton* button : dialog.findChildren<QPushButton*>())
        EXPECT_TRUE(button->text().contains('&')) << button->text().toStdString();
    // Tab goes number, name, speak, OK, Cancel.
    QWidget* expected[] = {Child<QLineEdit>(dialog, Ids::EditNumber),
                           Child<QLineEdit>(dialog, Ids::EditName),
                           Child<QLineEdit>(dialog, Ids::EditSpeak),
                           Child<QPushButton>(dialog, Ids::Ok),
                           Child<QPushButton>(dialog, Ids::Cancel)};
    QWidget* at = expected[0];
    for (int i = 1; i < 5; ++i) {
        do
            at = at->nextInFocusChain();
        while (!(at->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(at, expected[i]) << i;
    }
}

TEST(EditDataDlg, AddToPhoneBookOnlyForANumberTheBookLacks) {
    Directory book;
    book.append(Entry("0305551234", "Anna", ""));
    EXPECT_TRUE(CanAddToPhoneBook(std::string("0891234"), book));
    EXPECT_FALSE(CanAddToPhoneBook(std::string("0305551234"), book));
    EXPECT_FALSE(CanAddToPhoneBook(std::string("0"), book)) << "withheld";
    EXPECT_FALSE(CanAddToPhoneBook(std::string(""), book)) << "no number";
    EXPECT_FALSE(CanAddToPhoneBook(std::nullopt, book)) << "no number";
}

TEST(EditDataDlg, AFailedSaveIsToldAndASuccessfulOneIsNot) {
    std::vector<std::string> told;
    const MessageHandler previous =
        SetMessageHandler([&](const std::string& text) { told.push_back(text); });
    Directory book;
    book.append(Entry("0305551234", "Anna", ""));
    // A directory where the file should be: the save fails even for root.
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("tavo-edit-save-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory / "names.dat");
    const std::string blocked = (directory / "names.dat").string();
    EXPECT_FALSE(SaveDirectoryOrTell(book, blocked));
    const std::string fine = (directory / "other.dat").string();
    EXPECT_TRUE(SaveDirectoryOrTell(book, fine));
    SetMessageHandler(previous);
    EXPECT_EQ(told, std::vector<std::string>{"Unable to save " + blocked});
    EXPECT_TRUE(std::filesystem::is_regular_file(fine));
    std::filesystem::remove_all(directory);
}
