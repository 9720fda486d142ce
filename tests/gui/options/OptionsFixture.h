#pragma once
// A settings record, two directories and their files in a fresh directory, and modal windows
// that answer from a script instead of waiting for a person.

#include "gui/options/COption.h"
#include "gui/options/COptionPage.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class OptionsFixture : public ::testing::Test {
protected:
    OptionsFixture();
    ~OptionsFixture() override;

    // The sheet, shown (so its first page is built) and ready for clicks.
    COption& OpenSheet();
    void ShowPage(int index); // 0 main, 1 caller, 2 MSN, 3 speech, 4 telnet, 5 network, 6 line,
                              // 7 rules
    void PressOk();
    void PressCancel();
    bool SheetAccepted() const { return sheet && sheet->result() == QDialog::Accepted; }

    // Pages share some names ("IDC_ADD" on both directory pages): the page on top is searched
    // first, then the sheet.
    template <typename T> T* Find(const char* objectName) {
        const QString name = QString::fromLatin1(objectName);
        T* found = ActivePage()->findChild<T*>(name);
        if (found == nullptr)
            found = sheet->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << objectName;
        return found;
    }
    QWidget* ActivePage() const;
    void Click(const char* objectName);
    void Type(const char* objectName, const QString& text);

    std::string FileBytes(const std::string& name) const;
    std::filesystem::path Path(const std::string& name) const { return directory / name; }
    void WriteDirectory(Directory& directory, const std::string& fileName,
                        const std::vector<std::vector<std::string>>& rows);

    GuardedSettings settings;
    GuardedLists lists;
    OptionsContext context;

    // What the modal windows were asked and what they answer.
    std::vector<QString> warnings;
    struct EditCall {
        DirectoryEntry before;
        bool hideSpeakText;
    };
    std::vector<EditCall> edits;
    // Each answer edits the entry and says OK (true) or Cancel (false).
    std::deque<std::function<bool(DirectoryEntry&)>> editAnswers;
    std::vector<QFont> fontRequests;
    std::deque<std::optional<QFont>> fontAnswers;

    std::unique_ptr<COption> sheet;

private:
    std::filesystem::path directory;
    std::filesystem::path previousDirectory;
};

DirectoryEntry MakeEntry(const std::string& key, const std::string& value,
                         const std::string& speakText);
