#include "gui/CEditDataDlg.h"

#include "gui/DialogUnits.h"
#include "gui/ResourceIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <mutex>

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& where) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    return label;
}

QLineEdit* MakeBox(QWidget* parent, const ResourceId& id, const OptText& text, const QRect& where) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(id.objectName);
    box->setGeometry(where);
    // The texts are plain 8-bit strings without a character set; Latin-1 keeps every byte.
    box->setText(QString::fromLatin1(TextOf(text)));
    return box;
}

std::string BoxText(const QLineEdit* box) {
    return box->text().toLatin1().toStdString();
}

} // namespace

CEditDataDlg::CEditDataDlg(DirectoryEntry& entry, bool hideSpeakText, QWidget* parent)
    : QDialog(parent), entry(entry), hideSpeakText(hideSpeakText) {
    setObjectName(Ids::EditDataDialog.objectName);
    setWindowTitle(QStringLiteral("edit data"));
    setModal(true);
    DialogUnits du(font());
    setFixedSize(du.X(180), du.Y(90));

    MakeLabel(this, QStringLiteral("number"), du.Rect(13, 12, 24, 8));
    numberBox = MakeBox(this, Ids::EditNumber, entry.key, du.Rect(62, 7, 99, 14));
    MakeLabel(this, QStringLiteral("name"), du.Rect(14, 28, 18, 8));
    nameBox = MakeBox(this, Ids::EditName, entry.value, du.Rect(62, 24, 99, 14));
    speakLabel = MakeLabel(this, QStringLiteral("speak"), du.Rect(14, 44, 20, 8));
    speakLabel->setObjectName(Ids::EditSpeakLabel.objectName);
    speakBox = MakeBox(this, Ids::EditSpeak, entry.speakText, du.Rect(62, 42, 99, 14));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(Ids::Ok.objectName);
    ok->setGeometry(du.Rect(7, 69, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(Ids::Cancel.objectName);
    cancel->setGeometry(du.Rect(123, 69, 50, 14));
    connect(ok, &QPushButton::clicked, this, &CEditDataDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CEditDataDlg::reject);

    numberBox->setFocus();
    if (hideSpeakText) {
        speakBox->hide();
        speakLabel->hide();
    } else if (!numberBox->text().isEmpty()) {
        // The number of an existing entry, or the one handed in from a call, stays as it is.
        numberBox->setEnabled(false);
    }
}

void CEditDataDlg::accept() {
    {
        // The telnet thread reads the directories while it serves a client.
        std::lock_guard lock(ListsMutex());
        entry.key = BoxText(numberBox);
        entry.value = BoxText(nameBox);
        if (!hideSpeakText)
            entry.speakText = BoxText(speakBox);
    }
    QDialog::accept();
}
