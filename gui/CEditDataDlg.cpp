#include "gui/CEditDataDlg.h"

#include "gui/Cp1252Text.h"
#include "gui/DialogUnits.h"
#include "gui/ResourceIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& text) {
    return new QLabel(text, parent);
}

QLineEdit* MakeBox(QWidget* parent, const ResourceId& id, const OptText& text) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(id.objectName);
    box->setText(FromCp1252(TextOf(text)));
    AcceptOnlyCp1252(box);
    return box;
}

std::string BoxText(const QLineEdit* box) {
    return ToCp1252(box->text());
}

} // namespace

CEditDataDlg::CEditDataDlg(DirectoryEntry& entry, bool hideSpeakText, QWidget* parent)
    : QDialog(parent), entry(entry), hideSpeakText(hideSpeakText) {
    setObjectName(Ids::EditDataDialog.objectName);
    setWindowTitle(QStringLiteral("edit data"));
    setModal(true);

    QLabel* numberLabel = MakeLabel(this, QStringLiteral("number"));
    numberBox = MakeBox(this, Ids::EditNumber, entry.key);
    QLabel* nameLabel = MakeLabel(this, QStringLiteral("name"));
    nameBox = MakeBox(this, Ids::EditName, entry.value);
    speakLabel = MakeLabel(this, QStringLiteral("speak"));
    speakLabel->setObjectName(Ids::EditSpeakLabel.objectName);
    speakBox = MakeBox(this, Ids::EditSpeak, entry.speakText);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(Ids::Ok.objectName);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(Ids::Cancel.objectName);
    connect(ok, &QPushButton::clicked, this, &CEditDataDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CEditDataDlg::reject);

    LayOut({{numberLabel, numberBox}, {nameLabel, nameBox}, {speakLabel, speakBox}}, ok, cancel);

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
    entry.key = BoxText(numberBox);
    entry.value = BoxText(nameBox);
    if (!hideSpeakText)
        entry.speakText = BoxText(speakBox);
    QDialog::accept();
}

void CEditDataDlg::LayOut(const std::vector<std::pair<QLabel*, QLineEdit*>>& rows, QPushButton* ok,
                          QPushButton* cancel) {
    // The template's dialog units are where the layout starts; every label, box and button then
    // gets at least the room its text needs in the font the dialog really has.
    const DialogUnits du(font());
    const QFontMetrics metrics(font());
    int labelsRight = 0;
    for (const auto& [label, box] : rows)
        labelsRight = std::max(labelsRight, du.X(13) + metrics.horizontalAdvance(label->text()));
    const int boxLeft = std::max(du.X(62), labelsRight + du.X(6));
    const int boxWidth = du.X(99);
    int top = du.Y(7);
    for (const auto& [label, box] : rows) {
        const int boxHeight = std::max(du.Y(14), box->sizeHint().height());
        box->setGeometry(boxLeft, top, boxWidth, boxHeight);
        const int labelHeight = std::max(metrics.height(), label->sizeHint().height());
        label->setGeometry(du.X(13), top + (boxHeight - labelHeight) / 2,
                           std::max(label->sizeHint().width(), boxLeft - du.X(13) - du.X(4)),
                           labelHeight);
        top += boxHeight + du.Y(3);
    }
    const int width = std::max(du.X(180), boxLeft + boxWidth + du.X(19));
    const QSize buttonSize(
        std::max({du.X(50), ok->sizeHint().width(), cancel->sizeHint().width()}),
        std::max({du.Y(14), ok->sizeHint().height(), cancel->sizeHint().height()}));
    const int buttonTop = std::max(du.Y(69), top + du.Y(10));
    ok->setGeometry(QRect(QPoint(du.X(7), buttonTop), buttonSize));
    cancel->setGeometry(QRect(QPoint(width - du.X(7) - buttonSize.width(), buttonTop), buttonSize));
    setFixedSize(width, buttonTop + buttonSize.height() + du.Y(7));
}
