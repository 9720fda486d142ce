#pragma once
// The phone-book import in the window: choose address books, see what they would add, agree.

#include "core/ImportPreview.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QWidget;

class QLabel;
class QPlainTextEdit;

// The preview of an import with its counts and entries; "Add" accepts it. The entries of a
// large preview are filled in pieces while the dialog already answers.
class ImportPreviewDlg : public QDialog {
    Q_OBJECT
public:
    ImportPreviewDlg(const ImportPreview& preview, const QString& countryNote,
                     QWidget* parent = nullptr);

    // Lines put into the details at once; the rest follow a piece at a time.
    static constexpr int LinesAtOnce = 2000;

    // True once every line of the preview is shown.
    bool Filled() const { return next >= lines.size(); }

private:
    void FillPiece();

    QStringList lines;
    qsizetype next = 0;
    QString summaryText;
    QLabel* summary = nullptr;
    QPlainTextEdit* details = nullptr;
};

struct PhoneBookImportDialogs {
    // The files to read; empty when the user cancelled.
    std::function<QStringList(QWidget* parent)> chooseFiles;
    // Shows the preview; true when the user agreed to add.
    std::function<bool(QWidget* parent, const ImportPreview& preview, const QString& note)> confirm;
    std::function<void(QWidget* parent, const QString& text)> showWarning;
    // Reads one address book; called on the import's worker thread.
    std::function<ContactFile(const std::string& path)> readFile = ReadContactFile;
};

// The file dialog, ImportPreviewDlg and a message box.
PhoneBookImportDialogs StandardImportDialogs();

// Reads the chosen files, shows the preview and, once agreed, appends the new entries to
// `phoneBook`. Returns how many entries were added. The files are read and the preview made on
// a thread of their own, with a progress dialog that can stop them, while the event loop goes
// on: calls arriving meanwhile are announced at once.
size_t RunPhoneBookImport(QWidget* parent, Directory& phoneBook,
                          const PhoneBookImportDialogs& dialogs);
