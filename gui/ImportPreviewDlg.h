#pragma once
// The phone-book import in the window: choose address books, see what they would add, agree.

#include "core/ImportPreview.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QWidget;

// The preview of an import with its counts and entries; "Add" accepts it.
class ImportPreviewDlg : public QDialog {
    Q_OBJECT
public:
    ImportPreviewDlg(const ImportPreview& preview, const QString& countryNote,
                     QWidget* parent = nullptr);
};

struct PhoneBookImportDialogs {
    // The files to read; empty when the user cancelled.
    std::function<QStringList(QWidget* parent)> chooseFiles;
    // Shows the preview; true when the user agreed to add.
    std::function<bool(QWidget* parent, const ImportPreview& preview, const QString& note)> confirm;
    std::function<void(QWidget* parent, const QString& text)> showWarning;
};

// The file dialog, ImportPreviewDlg and a message box.
PhoneBookImportDialogs StandardImportDialogs();

// Reads the chosen files, shows the preview and, once agreed, appends the new entries to
// `phoneBook`. Returns how many entries were added.
size_t RunPhoneBookImport(QWidget* parent, Directory& phoneBook,
                          const PhoneBookImportDialogs& dialogs);
