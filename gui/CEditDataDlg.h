#pragma once
// "edit data": edits the number, name and speak text of one directory entry in place. Its texts
// are Windows-1252; the boxes refuse characters that the files cannot hold. A typed number is
// stored in the form the line delivers it (as the import stores numbers), shown below the box
// while it is typed; an entry without a number is refused.

#include "data/CallList.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

// What a typed number becomes: `number` to store, or empty with `problem` saying why not.
struct NumberToStore {
    std::string number;
    QString problem;
};
// `typed` as the user wrote it ("030 555-12 34", "+49 30 5551234"). A phone book number is
// brought into the line's form for `country` (see core/PhoneNumbers); one that is no complete
// number there (an extension, or no country known) keeps its digits when it has nothing but
// digits and separators. An MSN (`ownLine`) is the line's own number and keeps its digits.
NumberToStore NumberForStoring(const std::string& typed, const std::string& country, bool ownLine);

class CEditDataDlg : public QDialog {
    Q_OBJECT
public:
    // `entry` must outlive the dialog. With hideSpeakText (the MSN page) the speak box is hidden
    // and OK leaves the entry's speakText as it was. `country` is the user's country for the
    // numbers; absent, it is chosen as the import chooses it (tavo.conf, else the locale).
    CEditDataDlg(DirectoryEntry& entry, bool hideSpeakText, QWidget* parent = nullptr,
                 const std::optional<std::string>& country = std::nullopt);

    void accept() override;

private:
    NumberToStore TypedNumber() const;
    void ShowNumberToStore();

    DirectoryEntry& entry;
    bool hideSpeakText;
    std::string country;
    QLineEdit* numberBox;
    QLabel* storedAs;
    QLineEdit* nameBox;
    QLineEdit* speakBox;
    QLabel* speakLabel;
    QPushButton* ok;
};

// Whether a call's number may be offered for "add to phone book": not for a withheld call (the
// mark "0"), one without a number, or a number the phone book already has. Call it on the GUI
// thread, which is the only writer of the phone book.
bool CanAddToPhoneBook(const OptText& calling, const Directory& phoneBook);

// Saves a directory edited on the GUI thread (its only writer) to `fileName`; a file that could
// not be written is told to the user. True when it was saved.
bool SaveDirectoryOrTell(const Directory& directory, const std::string& fileName);
// The box SaveDirectoryOrTell shows, for a save made under a lock that the box must not hold.
void TellDirectoryNotSaved(const std::string& fileName);
