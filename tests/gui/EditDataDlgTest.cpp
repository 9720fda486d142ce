#include "gui/CEditDataDlg.h"
#include "gui/Cp1252Text.h"
#include "gui/ResourceIds.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

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
    EXPECT_EQ(cancel->text(), "Abbrechen");
    cancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(entry.key, "");
    EXPECT_FALSE(entry.value.has_value());
    EXPECT_EQ(entry.speakText, "x");
}

TEST(EditDataDlg, LaidOutInRowsInsideTheDialog) {
    DirectoryEntry entry = Entry("1", "2", "3");
    CEditDataDlg dialog(entry, false);
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
        DirectoryEntry entry = Entry("1", "2", "3");
        CEditDataDlg dialog(entry, false);
        const QRect number = Child<QLineEdit>(dialog, Ids::EditNumber)->geometry();
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 3);
        for (const QLabel* label : labels) {
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
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
