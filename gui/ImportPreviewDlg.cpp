#include "gui/ImportPreviewDlg.h"

#include "core/UserCountry.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

ImportPreviewDlg::ImportPreviewDlg(const ImportPreview& preview, const QString& countryNote,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("IDD_IMPORT_PREVIEW"));
    setWindowTitle(QStringLiteral("Import into the phone book"));
    const QString text = QString::fromUtf8(ImportPreviewText(preview));
    auto* layout = new QVBoxLayout(this);
    auto* summary = new QLabel(countryNote + QStringLiteral("\n") + text.section('\n', 0, 0), this);
    summary->setObjectName(QStringLiteral("IDC_IMPORT_SUMMARY"));
    layout->addWidget(summary);
    auto* details = new QPlainTextEdit(this);
    details->setObjectName(QStringLiteral("IDC_IMPORT_DETAILS"));
    details->setReadOnly(true);
    details->setLineWrapMode(QPlainTextEdit::NoWrap);
    details->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    details->setPlainText(text.section('\n', 1).trimmed());
    // The lines are tab-separated; one tab stop past the widest number (after the lines' indent
    // of two blanks) lines the names up.
    const QFontMetricsF metrics(details->font());
    qreal widest = metrics.horizontalAdvance(QStringLiteral("00000000"));
    auto widen = [&](const std::string& number) {
        widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(number)));
    };
    for (const ImportEntry& entry : preview.added)
        widen(entry.number);
    for (const ImportKept& kept : preview.alreadyThere)
        widen(kept.entry.number);
    for (const ImportDuplicate& duplicate : preview.duplicates)
        widen(duplicate.entry.number);
    details->setTabStopDistance(widest + 4 * metrics.horizontalAdvance(QLatin1Char(' ')));
    layout->addWidget(details, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* add = buttons->addButton(
        QStringLiteral("Add %1 entries").arg(preview.added.size()), QDialogButtonBox::AcceptRole);
    add->setObjectName(QStringLiteral("IDOK"));
    add->setEnabled(!preview.added.empty());
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(620, 420);
}

PhoneBookImportDialogs StandardImportDialogs() {
    PhoneBookImportDialogs dialogs;
    dialogs.chooseFiles = [](QWidget* parent) {
        return QFileDialog::getOpenFileNames(
            parent, QStringLiteral("Import address books"), QString(),
            QStringLiteral("Address books (*.vcf *.vcard *.csv);;All files (*)"));
    };
    dialogs.confirm = [](QWidget* parent, const ImportPreview& preview, const QString& note) {
        ImportPreviewDlg dialog(preview, note, parent);
        return dialog.exec() == QDialog::Accepted;
    };
    dialogs.showWarning = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QStringLiteral("TAVO"), text);
    };
    return dialogs;
}

size_t RunPhoneBookImport(QWidget* parent, Directory& phoneBook,
                          const PhoneBookImportDialogs& dialogs) {
    const QStringList paths = dialogs.chooseFiles(parent);
    if (paths.isEmpty())
        return 0;
    const CountryChoice country = ChooseCountry(std::nullopt);
    if (!country.error.empty()) {
        dialogs.showWarning(parent, QString::fromStdString(country.error));
        return 0;
    }
    std::vector<ContactFile> files;
    for (const QString& path : paths)
        files.push_back(ReadContactFile(path.toStdString()));
    const std::string region = country.country;
    const ImportPreview preview =
        BuildImportPreview(files, phoneBook, [&region](const std::string& written) {
            return NumberAsLineDelivers(written, region);
        });
    const QString note =
        QStringLiteral("Numbers as the line delivers them in %1 (from %2).")
            .arg(QString::fromStdString(region), QString::fromStdString(country.from));
    if (!dialogs.confirm(parent, preview, note) || preview.added.empty())
        return 0;
    const size_t before = phoneBook.size();
    ApplyImport(preview, phoneBook);
    return phoneBook.size() - before;
}
