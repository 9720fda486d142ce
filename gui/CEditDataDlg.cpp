#include "gui/CEditDataDlg.h"

#include "core/PhoneNumbers.h"
#include "core/UserCountry.h"
#include "data/ListFile.h"
#include "gui/Cp1252Text.h"
#include "gui/DialogUnits.h"
#include "gui/ResourceIds.h"
#include "platform/ShowMessage.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// What core/PhoneNumbers says, in the user's language.
[[maybe_unused]] const char* const numberProblems[] = {
    QT_TRANSLATE_NOOP("CEditDataDlg", "not a phone number"),
    QT_TRANSLATE_NOOP("CEditDataDlg", "not a complete phone number"),
};

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '-' || c == '/' || c == '(' || c == ')' || c == '.';
}

// The digits of `text` when it holds nothing but digits and separators; absent otherwise.
std::optional<std::string> PlainDigits(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (!IsSeparator(c))
            return std::nullopt;
    }
    return digits;
}

QLineEdit* MakeBox(QWidget* parent, const ResourceId& id, const OptText& text) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(id.objectName);
    box->setText(FromCp1252(TextOf(text)));
    AcceptOnlyCp1252(box);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, QLineEdit* box) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(box);
    box->setAccessibleName(label->text().remove(QLatin1Char('&')));
    return label;
}

std::string BoxText(const QLineEdit* box) {
    return ToCp1252(box->text());
}

} // namespace

NumberToStore NumberForStoring(const std::string& typed, const std::string& country,
                               bool ownLine) {
    const std::optional<std::string> digits = PlainDigits(typed);
    if (digits && digits->empty())
        return {std::string(), CEditDataDlg::tr("Enter a number.")};
    if (!ownLine && !country.empty()) {
        const LineNumber line = NumberAsLineDelivers(typed, country);
        if (line.error.empty())
            return {line.number, QString()};
        if (!digits)
            return {std::string(),
                    QCoreApplication::translate("CEditDataDlg", line.error.c_str())};
    }
    if (digits)
        return {*digits, QString()};
    return {std::string(),
            country.empty() || ownLine
                ? CEditDataDlg::tr("Only digits, blanks and - / ( ) . may be typed here.")
                : CEditDataDlg::tr("not a phone number")};
}

CEditDataDlg::CEditDataDlg(DirectoryEntry& entry, bool hideSpeakText, QWidget* parent,
                           const std::optional<std::string>& chosenCountry)
    : QDialog(parent), entry(entry), hideSpeakText(hideSpeakText),
      country(chosenCountry ? *chosenCountry : ChooseCountry(std::nullopt).country) {
    setObjectName(Ids::EditDataDialog.objectName);
    setWindowTitle(tr("edit data"));
    setModal(true);

    numberBox = MakeBox(this, Ids::EditNumber, entry.key);
    QLabel* numberLabel = MakeLabel(this, tr("&number"), numberBox);
    storedAs = new QLabel(this);
    storedAs->setObjectName(QStringLiteral("IDC_EDIT_STORED_AS"));
    nameBox = MakeBox(this, Ids::EditName, entry.value);
    QLabel* nameLabel = MakeLabel(this, tr("n&ame"), nameBox);
    speakBox = MakeBox(this, Ids::EditSpeak, entry.speakText);
    speakLabel = MakeLabel(this, tr("&speak"), speakBox);
    speakLabel->setObjectName(Ids::EditSpeakLabel.objectName);

    ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName(Ids::Ok.objectName);
    ok->setDefault(true);
    // "Abbrechen" stood here in every language before.
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    cancel->setObjectName(Ids::Cancel.objectName);
    connect(ok, &QPushButton::clicked, this, &CEditDataDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CEditDataDlg::reject);

    // 99 dialog units: the boxes of the template, wider when the labels or texts need it.
    const DialogUnits du(font());
    for (QLineEdit* box : {numberBox, nameBox, speakBox})
        box->setMinimumWidth(du.X(99));
    auto* rows = new QGridLayout;
    rows->addWidget(numberLabel, 0, 0);
    rows->addWidget(numberBox, 0, 1);
    rows->addWidget(storedAs, 1, 1);
    rows->addWidget(nameLabel, 2, 0);
    rows->addWidget(nameBox, 2, 1);
    rows->addWidget(speakLabel, 3, 0);
    rows->addWidget(speakBox, 3, 1);
    rows->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addSpacing(du.Y(6));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    numberBox->setFocus();
    if (hideSpeakText) {
        speakBox->hide();
        speakLabel->hide();
    } else if (!numberBox->text().isEmpty()) {
        // The number of an existing entry, or the one handed in from a call, stays as it is.
        numberBox->setEnabled(false);
    }
    if (numberBox->isEnabled()) {
        connect(numberBox, &QLineEdit::textChanged, this, [this] { ShowNumberToStore(); });
        ShowNumberToStore();
    } else {
        storedAs->hide();
    }
}

NumberToStore CEditDataDlg::TypedNumber() const {
    return NumberForStoring(BoxText(numberBox), country, hideSpeakText);
}

void CEditDataDlg::ShowNumberToStore() {
    const NumberToStore number = TypedNumber();
    storedAs->setText(number.problem.isEmpty()
                          ? tr("stored as %1").arg(FromCp1252(number.number))
                          : number.problem);
    ok->setEnabled(number.problem.isEmpty());
}

void CEditDataDlg::accept() {
    std::string key = TextOf(entry.key);
    if (numberBox->isEnabled()) {
        const NumberToStore number = TypedNumber();
        if (!number.problem.isEmpty()) {
            ShowNumberToStore();
            numberBox->setFocus();
            return;
        }
        key = number.number;
    }
    entry.key = key;
    entry.value = BoxText(nameBox);
    if (!hideSpeakText)
        entry.speakText = BoxText(speakBox);
    QDialog::accept();
}

bool CanAddToPhoneBook(const OptText& calling, const Directory& phoneBook) {
    const std::string number = TextOf(calling);
    if (number.empty() || number == "0")
        return false;
    return phoneBook.findByKey(number) == nullptr;
}

void TellDirectoryNotSaved(const std::string& fileName) {
    // The message box shows the text as Latin-1, as the file name's bytes always were.
    ShowMessage(CEditDataDlg::tr("Unable to save %1")
                    .arg(QString::fromLatin1(fileName.data(), qsizetype(fileName.size())))
                    .toLatin1()
                    .toStdString());
}

bool SaveDirectoryOrTell(const Directory& directory, const std::string& fileName) {
    if (SaveListFile(directory, fileName))
        return true;
    TellDirectoryNotSaved(fileName);
    return false;
}
