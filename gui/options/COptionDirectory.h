#pragma once
// What the "caller" and "MSN" pages share: a private copy of one directory, shown sorted by
// number, edited entry by entry, and handed back on OK.

#include "gui/ImportPreviewDlg.h"
#include "gui/options/COptionPage.h"

class CListViewEx;

class COptionDirectory : public COptionPage {
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

private:
    void OnInitDialog() override;
    void FillList();
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
    bool importEnabled = false;
};
