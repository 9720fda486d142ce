// The "rules" page: the rules file as text, checked as `tavo rules check` checks it; a text
// with faults is never saved and the user is told which line is wrong.
#include "OptionsFixture.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <fstream>

namespace fs = std::filesystem;

class RulesPage : public OptionsFixture {
protected:
    RulesPage() {
        context.rulesFile = Path("config/rules.conf").string();
        context.country = "DE";
        context.rulesSaved = [this] { ++saves; };
    }
    void Open() {
        OpenSheet();
        ShowPage(7);
    }
    void WriteRules(const std::string& text) {
        fs::create_directories(Path("config"));
        std::ofstream(Path("config/rules.conf"), std::ios::binary) << text;
    }
    QPlainTextEdit* Text() { return Find<QPlainTextEdit>("IDC_RULES_TEXT"); }
    QStringList Faults() {
        QStringList texts;
        auto* list = Find<QListWidget>("IDC_RULES_FAULTS");
        for (int row = 0; row < list->count(); ++row)
            texts << list->item(row)->text();
        return texts;
    }
    QString State() { return Find<QLabel>("IDC_RULES_STATE")->text(); }

    int saves = 0;
};

TEST_F(RulesPage, ShowsTheFileAndChecksIt) {
    WriteRules("announce known\nquiet    time=22:00-07:00  # nights\n");
    Open();
    EXPECT_EQ(sheet->Page(7)->Title(), "rules");
    EXPECT_EQ(Text()->toPlainText(), "announce known\nquiet    time=22:00-07:00  # nights\n");
    Click("IDC_RULES_CHECK");
    EXPECT_EQ(State(), "2 rules, no faults.");
    EXPECT_TRUE(Faults().isEmpty());

    Text()->setPlainText("quiet withheld\n");
    Click("IDC_RULES_CHECK");
    EXPECT_EQ(State(), "One rule, no faults.");
    Text()->setPlainText("# nothing yet\n");
    Click("IDC_RULES_CHECK");
    EXPECT_EQ(State(), "No rules: every call is announced.");
}

TEST_F(RulesPage, AFaultyTextIsNotSavedAndItsLinesAreNamed) {
    WriteRules("quiet withheld\n");
    Open();
    Text()->setPlainText("quiet withheld\nhush known\nquiet time=25:00-07:00\n"
                         "reject list=missing.txt\n");
    PressOk();
    EXPECT_FALSE(SheetAccepted());
    ASSERT_EQ(warnings.size(), 1u);
    const QStringList faults = Faults();
    ASSERT_EQ(faults.size(), 3) << faults.join("\n").toStdString();
    EXPECT_TRUE(faults[0].startsWith("line 2: unknown action")) << faults[0].toStdString();
    EXPECT_TRUE(faults[1].startsWith("line 3: ")) << faults[1].toStdString();
    EXPECT_TRUE(faults[2].startsWith("line 4: list file")) << faults[2].toStdString();
    EXPECT_TRUE(faults[2].contains("missing.txt"));
    for (const QString& fault : faults)
        EXPECT_TRUE(warnings[0].contains(fault)) << warnings[0].toStdString();
    EXPECT_EQ(State(), "3 faults: the rules cannot be saved like this.");
    // The file is as it was, and the user's text still there to be mended.
    EXPECT_EQ(FileBytes("config/rules.conf"), "quiet withheld\n");
    EXPECT_TRUE(Text()->toPlainText().contains("hush known"));
    EXPECT_EQ(saves, 0);

    // Another page is not reached either.
    ShowPage(0);
    EXPECT_EQ(ActivePage(), sheet->Page(7));
    EXPECT_EQ(warnings.size(), 2u);

    // A fault taken from the list puts the cursor on its line.
    auto* list = Find<QListWidget>("IDC_RULES_FAULTS");
    list->setCurrentRow(1);
    emit list->itemActivated(list->currentItem());
    EXPECT_EQ(Text()->textCursor().blockNumber(), 2);

    // Mended, it is saved.
    Text()->setPlainText("quiet withheld\nquiet known\n");
    EXPECT_TRUE(Faults().isEmpty()); // what was checked is gone with the text
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_EQ(FileBytes("config/rules.conf"), "quiet withheld\nquiet known\n");
    EXPECT_EQ(saves, 1);
}

TEST_F(RulesPage, OkWithoutAChangeWritesNothingAndCancelKeepsTheFile) {
    // No rules file and nothing typed: none is made.
    Open();
    EXPECT_TRUE(Text()->toPlainText().isEmpty());
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_FALSE(fs::exists(Path("config/rules.conf")));
    EXPECT_EQ(saves, 0);

    WriteRules("quiet withheld\n");
    Open();
    Text()->setPlainText("reject withheld\n");
    PressCancel();
    EXPECT_EQ(FileBytes("config/rules.conf"), "quiet withheld\n");
    EXPECT_EQ(saves, 0);
}

TEST_F(RulesPage, ANewFileIsMadeWithItsDirectory) {
    Open();
    Text()->setPlainText("reject type=premium\n");
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_EQ(FileBytes("config/rules.conf"), "reject type=premium\n");
    EXPECT_EQ(saves, 1);
    // Written whole and put in place: no temporary file is left beside it.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Path("config")))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(RulesPage, AFileThatCannotBeReadIsNeverReplaced) {
    fs::create_directories(Path("config/rules.conf")); // there, but no file to read
    Open();
    EXPECT_TRUE(Text()->isReadOnly());
    EXPECT_TRUE(State().startsWith("The rules file cannot be read")) << State().toStdString();
    PressOk();
    EXPECT_TRUE(SheetAccepted());
    EXPECT_TRUE(fs::is_directory(Path("config/rules.conf")));
    EXPECT_EQ(saves, 0);
}
