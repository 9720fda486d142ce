#include "gui/ImportPreviewDlg.h"

#include "core/UserCountry.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <thread>

ImportPreviewDlg::ImportPreviewDlg(const ImportPreview& preview, const QString& countryNote,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("IDD_IMPORT_PREVIEW"));
    setWindowTitle(tr("Import into the phone book"));
    const QString text = QString::fromUtf8(ImportPreviewText(preview));
    auto* layout = new QVBoxLayout(this);
    summaryText = countryNote + QStringLiteral("\n") + text.section('\n', 0, 0);
    summary = new QLabel(summaryText, this);
    summary->setObjectName(QStringLiteral("IDC_IMPORT_SUMMARY"));
    layout->addWidget(summary);
    details = new QPlainTextEdit(this);
    details->setObjectName(QStringLiteral("IDC_IMPORT_DETAILS"));
    details->setReadOnly(true);
    details->setLineWrapMode(QPlainTextEdit::NoWrap);
    details->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The lines are tab-separated; one tab stop past the widest number (after the lines' indent
    // of two blanks) lines the names up. Numbers are digits in a fixed font: the longest is the
    // widest, and only it is measured, whatever the number of entries.
    std::string longest = "00000000";
    auto widen = [&](const std::string& number) {
        if (number.size() > longest.size())
            longest = number;
    };
    for (const ImportEntry& entry : preview.added)
        widen(entry.number);
    for (const ImportKept& kept : preview.alreadyThere)
        widen(kept.entry.number);
    for (const ImportDuplicate& duplicate : preview.duplicates)
        widen(duplicate.entry.number);
    const QFontMetricsF metrics(details->font());
    details->setTabStopDistance(metrics.horizontalAdvance(QString::fromStdString(longest)) +
                                4 * metrics.horizontalAdvance(QLatin1Char(' ')));
    lines = text.section('\n', 1).trimmed().split(QLatin1Char('\n'));
    FillPiece();
    layout->addWidget(details, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* add = buttons->addButton(tr("Add %1 entries").arg(preview.added.size()),
                                          QDialogButtonBox::AcceptRole);
    add->setObjectName(QStringLiteral("IDOK"));
    add->setEnabled(!preview.added.empty());
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(620, 420);
}

void ImportPreviewDlg::FillPiece() {
    const qsizetype end = std::min(lines.size(), next + qsizetype(LinesAtOnce));
    const QString piece = lines.mid(next, end - next).join(QLatin1Char('\n'));
    if (next == 0)
        details->setPlainText(piece);
    else
        details->appendPlainText(piece);
    next = end;
    if (Filled()) {
        summary->setText(summaryText);
        lines.clear();
        return;
    }
    summary->setText(summaryText + QStringLiteral("\n") +
                     tr("Showing %L1 of %L2 lines...").arg(next).arg(lines.size()));
    // The next piece once the events waiting now (a click, a repaint, a call) are handled.
    QTimer::singleShot(0, this, [this] { FillPiece(); });
}

PhoneBookImportDialogs StandardImportDialogs() {
    PhoneBookImportDialogs dialogs;
    dialogs.chooseFiles = [](QWidget* parent) {
        return QFileDialog::getOpenFileNames(
            parent, ImportPreviewDlg::tr("Import address books"), QString(),
            ImportPreviewDlg::tr("Address books (*.vcf *.vcard *.csv);;All files (*)"));
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

namespace {

// What the import's worker and the window share while the worker runs.
struct ImportWork {
    std::atomic<size_t> filesRead{0};
    std::atomic<size_t> done{0};
    std::atomic<size_t> total{0};
    std::atomic<bool> cancel{false};
    ImportPreview preview; // the worker's until it has finished
};

// Reads the files and makes the preview on a thread of its own; the event loop runs meanwhile
// with a progress dialog that can stop the work. False when the user stopped it.
bool MakePreviewAside(QWidget* parent, const QStringList& paths, const Directory& phoneBook,
                      const std::string& region, const PhoneBookImportDialogs& dialogs,
                      ImportPreview& preview) {
    auto work = std::make_shared<ImportWork>();
    // The worker reads a copy: the phone book stays the window's to change.
    auto snapshot = std::make_shared<Directory>();
    snapshot->assign(phoneBook);
    std::vector<std::string> files;
    for (const QString& path : paths)
        files.push_back(path.toStdString());
    QEventLoop loop;
    std::thread worker([work, snapshot, files, region, readFile = dialogs.readFile, &loop] {
        std::vector<ContactFile> contacts;
        for (const std::string& path : files) {
            if (work->cancel)
                break;
            contacts.push_back(readFile(path));
            ++work->filesRead;
        }
        if (!work->cancel)
            work->preview = BuildImportPreview(
                contacts, *snapshot,
                [&region](const std::string& written) {
                    return NumberAsLineDelivers(written, region);
                },
                [&work](size_t done, size_t total) {
                    work->done = done;
                    work->total = total;
                    return !work->cancel;
                });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QProgressDialog progress(ImportPreviewDlg::tr("Reading the address books..."),
                             ImportPreviewDlg::tr("Cancel"), 0, 0, parent);
    progress.setObjectName(QStringLiteral("IDD_IMPORT_PROGRESS"));
    progress.setWindowTitle(ImportPreviewDlg::tr("Import into the phone book"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400); // a small book is done before it would show
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    QObject::connect(&progress, &QProgressDialog::canceled, &progress,
                     [work] { work->cancel = true; });
    QTimer update;
    QObject::connect(&update, &QTimer::timeout, &progress, [&] {
        const size_t total = work->total;
        if (total == 0) {
            progress.setLabelText(ImportPreviewDlg::tr("Reading the address books (%1 of %2)...")
                                      .arg(work->filesRead.load())
                                      .arg(files.size()));
            return;
        }
        progress.setMaximum(int(std::min<size_t>(total, INT_MAX)));
        progress.setValue(int(std::min<size_t>(work->done, INT_MAX)));
        progress.setLabelText(ImportPreviewDlg::tr("Looking at the numbers: %L1 of %L2...")
                                  .arg(work->done.load())
                                  .arg(total));
    });
    update.start(100);
    loop.exec();
    worker.join();
    update.stop();
    if (work->cancel || work->preview.cancelled)
        return false;
    preview = std::move(work->preview);
    return true;
}

} // namespace

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
    const std::string region = country.country;
    ImportPreview preview;
    if (!MakePreviewAside(parent, paths, phoneBook, region, dialogs, preview))
        return 0;
    const QString note =
        ImportPreviewDlg::tr("Numbers as the line delivers them in %1 (from %2).")
            .arg(QString::fromStdString(region), QString::fromStdString(country.from));
    if (!dialogs.confirm(parent, preview, note) || preview.added.empty())
        return 0;
    const size_t before = phoneBook.size();
    ApplyImport(preview, phoneBook);
    return phoneBook.size() - before;
}
