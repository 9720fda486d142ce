// The "caller" and "MSN" pages: private copies, sorted rows, the entry editor, saving on OK.
#include "OptionsFixture.h"

#include "data/ListFile.h"
#include "gui/options/COptionDirectory.h"
#include "platform/ShowMessage.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>

namespace {

std::vector<std::string> Column(QTreeWidget* list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        texts.push_back(list->topLevelItem(row)->text(column).toStdString());
    return texts;
}

std::vector<std::vector<std::string>> Entries(const Directory& directory) {
    std::vector<std::vector<std::string>> rows;
    for (const DirectoryEntry& entry : directory)
        rows.push_back({TextOf(entry.key), TextOf(entry.value), TextOf(entry.speakText)});
    return rows;
}

std::vector<std::vector<std::string>> Reload(const std::string& fileName) {
    Directory loaded;
    std::string error;
    EXPECT_TRUE(LoadExistingListFile(loaded, fileName, error)) << error;
    return Entries(loaded);
}

void SelectNumber(QTreeWidget* list, const QString& number) {
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (list->topLevelItem(row)->text(0) == number)
            list->setCurrentItem(list->topLevelItem(row));
}

constexpr int callerPage = 1;
constexpr int msnPage = 2;

} // namespace

class DirectoryPages : public OptionsFixture {
protected:
    void SetUp() override {
        WriteDirectory(lists.Write()->phoneBook, "names.dat",
                       {{"30", "Thirty", ""}, {"100", "Hundred", "one hundred"}, {"2", "Two", ""}});
        WriteDirectory(lists.Write()->msnList, "msn.dat", {{"555", "Office", "the office"}});
        namesBefore = FileBytes("names.dat");
        msnBefore = FileBytes("msn.dat");
    }
    QTreeWidget* CallerList() { return Find<QTreeWidget>("IDC_CALLER_LIST"); }
    QTreeWidget* MsnList() { return Find<QTreeWidget>("IDC_MSN_LIST"); }

    std::string namesBefore;
    std::string msnBefore;
};

TEST_F(DirectoryPages, RowsAreSortedByNumberTextNotFileOrder) {
    OpenSheet();
    ShowPage(callerPage);
    QTreeWidget* list = CallerList();
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"100", "2", "30"}));
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"Hundred", "Two", "Thirty"}));
    EXPECT_EQ(Column(list, 2), (std::vector<std::string>{"one hundred", "", ""}));
    EXPECT_EQ(list->headerItem()->text(0), "number");
    EXPECT_EQ(list->headerItem()->text(1), "name");
    EXPECT_EQ(list->headerItem()->text(2), "speak text");
    EXPECT_EQ(list->columnWidth(0), 135);
    EXPECT_EQ(list->columnWidth(1), 150);
    EXPECT_EQ(list->columnWidth(2), 130);
    ShowPage(msnPage);
    EXPECT_EQ(MsnList()->headerItem()->text(0), "MSN");
}

TEST_F(DirectoryPages, CancelAfterAddChangeAndDeleteLeavesFilesAndListsAsTheyWere) {
    const auto bookBefore = Entries(lists.Read()->phoneBook);
    const auto msnEntriesBefore = Entries(lists.Read()->msnList);
    OpenSheet();
    ShowPage(callerPage);
    editAnswers.push_back([](DirectoryEntry& e) {
        e = MakeEntry("77", "New", "");
        return true;
    });
    Click("IDC_ADD");
    SelectNumber(CallerList(), "2");
    editAnswers.push_back([](DirectoryEntry& e) {
        e.value = "Changed";
        return true;
    });
    Click("IDC_CHANGE");
    SelectNumber(CallerList(), "30");
    Click("IDC_DELETE");
    EXPECT_EQ(Column(CallerList(), 1), (std::vector<std::string>{"Hundred", "Changed", "New"}));

    ShowPage(msnPage);
    SelectNumber(MsnList(), "555");
    Click("IDC_DELETE");
    EXPECT_EQ(MsnList()->topLevelItemCount(), 0);
    PressCancel();

    EXPECT_EQ(Entries(lists.Read()->phoneBook), bookBefore);
    EXPECT_EQ(Entries(lists.Read()->msnList), msnEntriesBefore);
    EXPECT_EQ(FileBytes("names.dat"), namesBefore);
    EXPECT_EQ(FileBytes("msn.dat"), msnBefore);
}

TEST_F(DirectoryPages, OkOnAnUnchangedCallerPageRewritesNamesDat) {
    std::filesystem::remove(Path("names.dat"));
    OpenSheet();
    ShowPage(callerPage);
    PressOk();
    ASSERT_TRUE(SheetAccepted());
    EXPECT_EQ(FileBytes("names.dat"), namesBefore);
}

TEST_F(DirectoryPages, FileThatCannotBeWrittenIsReported) {
    std::vector<std::string> messages;
    const MessageHandler previous =
        SetMessageHandler([&](const std::string& text) { messages.push_back(text); });
    context.phoneBookFile = "no-such-directory/names.dat";
    OpenSheet();
    ShowPage(callerPage);
    PressOk();
    SetMessageHandler(previous);
    EXPECT_EQ(messages, (std::vector<std::string>{"Unable to save no-such-directory/names.dat"}));
    EXPECT_EQ(lists.Read()->phoneBook.size(), 3u) << "the entries are kept in memory all the same";
}

TEST_F(DirectoryPages, PagesNeverShownWriteNothing) {
    std::filesystem::remove(Path("names.dat"));
    std::filesystem::remove(Path("msn.dat"));
    settings.Write()->telnetPort = 1234;
    OpenSheet();
    PressOk();
    ASSERT_TRUE(SheetAccepted());
    EXPECT_FALSE(std::filesystem::exists(Path("names.dat")));
    EXPECT_FALSE(std::filesystem::exists(Path("msn.dat")));
    EXPECT_EQ(settings.Read()->telnetPort, 1234);
}

TEST_F(DirectoryPages, OkHandsEditsBackAndSavesThem) {
    OpenSheet();
    ShowPage(callerPage);
    editAnswers.push_back([](DirectoryEntry& e) {
        e = MakeEntry("0123", "Anna", "");
        return true;
    });
    Click("IDC_ADD");
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_FALSE(edits[0].hideSpeakText) << "the caller page always shows the speak box";
    EXPECT_FALSE(edits[0].before.key.has_value()) << "a new entry starts empty";
    SelectNumber(CallerList(), "100");
    Click("IDC_DELETE");
    PressOk();
    const std::vector<std::vector<std::string>> expected = {
        {"30", "Thirty", ""}, {"2", "Two", ""}, {"0123", "Anna", ""}};
    EXPECT_EQ(Entries(lists.Read()->phoneBook), expected);
    EXPECT_EQ(Reload("names.dat"), expected);
    EXPECT_EQ(FileBytes("msn.dat"), msnBefore);
}

TEST_F(DirectoryPages, CancelledEditorChangesNothing) {
    OpenSheet();
    ShowPage(callerPage);
    editAnswers.push_back([](DirectoryEntry& e) {
        e.key = "999"; // a cancelled editor hands nothing back, whatever it held
        return false;
    });
    Click("IDC_ADD");
    EXPECT_EQ(CallerList()->topLevelItemCount(), 3);
    PressOk();
    EXPECT_EQ(lists.Read()->phoneBook.size(), 3u);
}

TEST_F(DirectoryPages, ChangeAndDeleteWithoutSelectionDoNothing) {
    OpenSheet();
    ShowPage(callerPage);
    CallerList()->clearSelection();
    Click("IDC_CHANGE");
    Click("IDC_DELETE");
    EXPECT_TRUE(edits.empty());
    EXPECT_EQ(CallerList()->topLevelItemCount(), 3);
}

TEST_F(DirectoryPages, ChangeEditsTheSelectedEntryItself) {
    OpenSheet();
    ShowPage(callerPage);
    SelectNumber(CallerList(), "100");
    editAnswers.push_back([](DirectoryEntry& e) {
        e.speakText = "";
        return true;
    });
    Click("IDC_CHANGE");
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(TextOf(edits[0].before.key), "100");
    EXPECT_EQ(TextOf(edits[0].before.speakText), "one hundred");
    EXPECT_FALSE(edits[0].hideSpeakText);
    PressOk();
    EXPECT_EQ(Reload("names.dat")[1], (std::vector<std::string>{"100", "Hundred", ""}));
}

TEST_F(DirectoryPages, NewMsnIsSpokenByItsNameUntilChanged) {
    OpenSheet();
    ShowPage(msnPage);
    editAnswers.push_back([](DirectoryEntry& e) {
        e.key = "123";
        e.value = "Fax";
        return true; // the speak box is hidden: speakText stays absent
    });
    Click("IDC_ADD");
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_TRUE(edits[0].hideSpeakText);
    EXPECT_EQ(Column(MsnList(), 2), (std::vector<std::string>{"Fax", "the office"}));

    // Changing it later shows the speak box and keeps what is typed, even nothing.
    SelectNumber(MsnList(), "123");
    editAnswers.push_back([](DirectoryEntry& e) {
        e.speakText = "";
        return true;
    });
    Click("IDC_CHANGE");
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_FALSE(edits[1].hideSpeakText);
    PressOk();
    EXPECT_EQ(Reload("msn.dat"), (std::vector<std::vector<std::string>>{
                                     {"555", "Office", "the office"}, {"123", "Fax", ""}}));
}

TEST_F(DirectoryPages, MsnAddKeepsASpeakTextTheEditorGave) {
    OpenSheet();
    ShowPage(msnPage);
    editAnswers.push_back([](DirectoryEntry& e) {
        e = MakeEntry("124", "Phone", "my phone");
        return true;
    });
    Click("IDC_ADD");
    PressOk();
    EXPECT_EQ(Entries(lists.Read()->msnList).back(), (std::vector<std::string>{"124", "Phone", "my phone"}));
}

TEST_F(DirectoryPages, SheetStartsFromTheDirectoriesAsTheyAreWhenOpened) {
    OpenSheet();
    sheet.reset();
    lists.Write()->phoneBook.append(MakeEntry("1", "Later", ""));
    OpenSheet();
    ShowPage(callerPage);
    EXPECT_EQ(CallerList()->topLevelItemCount(), 4);
}

TEST_F(DirectoryPages, ImportShowsThePreviewAndAddsOnlyNewNumbersOnOk) {
    const std::string vcf = Path("book.vcf").string();
    {
        std::FILE* file = std::fopen(vcf.c_str(), "wb");
        std::fputs("BEGIN:VCARD\r\nFN:Anna\r\nTEL:+49 30 1234567\r\nTEL:+49 30 1234567\r\n"
                   "END:VCARD\r\nBEGIN:VCARD\r\nFN:Thirty again\r\nTEL:30\r\nEND:VCARD\r\n",
                   file);
        std::fclose(file);
    }
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    OpenSheet();
    ShowPage(callerPage);
    auto* page = dynamic_cast<COptionDirectory*>(ActivePage());
    ASSERT_NE(page, nullptr);
    std::vector<std::string> previews;
    page->importDialogs.chooseFiles = [&](QWidget*) {
        return QStringList{QString::fromStdString(vcf)};
    };
    page->importDialogs.confirm = [&](QWidget*, const ImportPreview& preview, const QString&) {
        previews.push_back(
            ImportPreviewText(preview).substr(0, ImportPreviewText(preview).find('\n')));
        return true;
    };
    page->importDialogs.showWarning = [&](QWidget*, const QString& text) {
        warnings.push_back(text);
    };
    Click("IDC_IMPORT");
    unsetenv("LC_ALL");
    EXPECT_TRUE(warnings.empty());
    // "30" is no complete German number; the second TEL is the same number again.
    EXPECT_EQ(previews,
              std::vector<std::string>{"1 to add, 0 already there, 1 duplicate, 1 unreadable"});
    EXPECT_EQ(Column(CallerList(), 0), (std::vector<std::string>{"0301234567", "100", "2", "30"}));
    EXPECT_EQ(FileBytes("names.dat"), namesBefore); // nothing written before OK
    PressOk();
    ASSERT_TRUE(SheetAccepted());
    const auto saved = Reload(Path("names.dat").string());
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved.back(), (std::vector<std::string>{"0301234567", "Anna", ""}));
}

TEST_F(DirectoryPages, FilterNarrowsTheRowsAndHiddenRowsAreNotEdited) {
    OpenSheet();
    ShowPage(callerPage);
    QTreeWidget* list = CallerList();
    SelectNumber(list, "30");
    Type("IDC_FILTER", "HUND");
    std::vector<std::string> shown;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (!list->topLevelItem(row)->isHidden())
            shown.push_back(list->topLevelItem(row)->text(1).toStdString());
    EXPECT_EQ(shown, std::vector<std::string>{"Hundred"});
    // "Thirty" was selected before it was filtered away: Delete must not remove it unseen.
    Click("IDC_DELETE");
    EXPECT_EQ(list->topLevelItemCount(), 3);
    Type("IDC_FILTER", "");
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        EXPECT_FALSE(list->topLevelItem(row)->isHidden());
}

TEST_F(DirectoryPages, DeleteKeyRemovesAndDoubleClickChanges) {
    OpenSheet();
    ShowPage(callerPage);
    QTreeWidget* list = CallerList();
    SelectNumber(list, "2");
    list->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
    QApplication::sendEvent(list, &release);
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"100", "30"}));

    editAnswers.push_back([](DirectoryEntry& e) {
        e.value = "Thirty-one";
        return true;
    });
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (list->topLevelItem(row)->text(0) == "30") {
            list->setCurrentItem(list->topLevelItem(row));
            emit list->itemDoubleClicked(list->topLevelItem(row), 1);
        }
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(TextOf(edits[0].before.value), "Thirty");
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"Hundred", "Thirty-one"}));
    PressOk();
    EXPECT_EQ(Reload("names.dat"),
              (std::vector<std::vector<std::string>>{{"30", "Thirty-one", ""},
                                                     {"100", "Hundred", "one hundred"}}));
}

TEST_F(DirectoryPages, AClickedHeadingSortsByItsColumn) {
    OpenSheet();
    ShowPage(callerPage);
    QTreeWidget* list = CallerList();
    EXPECT_TRUE(list->header()->sectionsClickable());
    list->header()->setSortIndicator(1, Qt::AscendingOrder); // what a click on "name" does
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"Hundred", "Thirty", "Two"}));
    list->header()->setSortIndicator(1, Qt::DescendingOrder);
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"Two", "Thirty", "Hundred"}));
}
