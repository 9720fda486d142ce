#pragma once
// What the "caller" and "MSN" pages share: a private copy of one directory, shown sorted by
// number (or by the heading clicked) and narrowed by a filter, edited entry by entry (Delete
// removes, a double click changes), and handed back on OK.

#include "gui/ImportPreviewDlg.h"
#include "gui/options/COptionPage.h"

class CListViewEx;

class COptionDirectory : public COptionPage {
    Q_OBJECT
public:
    struct Kind {
        const char* title;
        const char* objectName;
        const char* listName;
        const char* numberHeading;
        bool hideSpeakOnAdd; // the speak text of a new entry is its name
    };
    // `shared` names the directory among the context's lists.
    COptionDirectory(OptionsContext& context, const Kind& kind, Directory SharedLists::*shared,
                     const std::string& fileName);

    void OnOK() override;

    const Directory& PrivateCopy() const { return entries; }

    // The phone book's page offers "import..."; the dialogs are replaceable for tests.
    void EnableImport();
    PhoneBookImportDialogs importDialogs = StandardImportDialogs();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog() override;
    void FillList();
    void ApplyFilter();
    DirectoryEntry* SelectedEntry() const;
    void OnAdd();
    void OnChange();
    void OnDelete();
    void OnImport();

    Kind kind;
    Directory SharedLists::*shared;
    std::string fileName;
    Directory entries;
    CListViewEx* list = nullptr;
    QLineEdit* filter = nullptr;
    bool importEnabled = false;
};
