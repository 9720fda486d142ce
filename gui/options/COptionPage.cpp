#include "gui/options/COptionPage.h"

#include "gui/Cp1252Text.h"
#include "gui/options/COptionValues.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

COptionPage::COptionPage(OptionsContext& context, const char* title, const char* objectName)
    : context(context), title(QCoreApplication::translate("COptionPage", title)), units(font()) {
    setObjectName(QString::fromLatin1(objectName));
}

QSize COptionPage::sizeHint() const {
    const QSize least(units.X(templateWidth), units.Y(templateHeight));
    return layout() ? layout()->sizeHint().expandedTo(least) : least;
}

void COptionPage::Activate() {
    if (shown)
        return;
    shown = true;
    OnInitDialog();
    // Controls made after the sheet became visible stay hidden until shown; the ones a page
    // hides on purpose keep their state.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->testAttribute(Qt::WA_WState_ExplicitShowHide))
            child->show();
    updateGeometry();
}

QLabel* COptionPage::MakeLabel(const QString& text) {
    return new QLabel(text, this);
}

QLabel* COptionPage::MakeLabel(const QString& text, QWidget* box) {
    auto* label = new QLabel(text, this);
    label->setBuddy(box);
    box->setAccessibleName(WithoutMnemonic(text));
    return label;
}

QCheckBox* COptionPage::MakeCheckBox(const QString& text, const char* objectName) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::fromLatin1(objectName));
    return box;
}

QLineEdit* COptionPage::MakeEdit(const char* objectName) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(objectName));
    AcceptOnlyCp1252(edit);
    return edit;
}

QPushButton* COptionPage::MakeButton(const QString& text, const char* objectName) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

int COptionPage::CharactersWide(int characters) const {
    return units.X(4 * characters);
}

std::string TrimmedText(const QLineEdit* box) {
    return box->text().trimmed().toStdString();
}

bool ReadNumberBox(const QLineEdit* box, int low, int high, int& value) {
    const std::optional<int32_t> number = ParseDialogInteger(box->text().toStdString());
    if (!number || *number < low || *number > high)
        return false;
    value = *number;
    return true;
}

QString WithoutMnemonic(const QString& text) {
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i; // "&&" keeps one ampersand, "&x" keeps the x
        plain += text[i];
    }
    return plain;
}

QString FromRecordText(const std::string& text) {
    return FromCp1252(text);
}

std::string ToRecordText(const QString& text) {
    return ToCp1252(text);
}
