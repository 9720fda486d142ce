#include "gui/options/COptionPage.h"

#include "gui/Cp1252Text.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

COptionPage::COptionPage(OptionsContext& context, const char* title, const char* objectName)
    : context(context), title(QString::fromLatin1(title)), units(font()) {
    setObjectName(QString::fromLatin1(objectName));
    setMinimumSize(units.X(templateWidth), units.Y(templateHeight));
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
}

QLabel* COptionPage::AddLabel(const QString& text, int x, int y, int width, int height) {
    auto* label = new QLabel(text, this);
    label->setGeometry(Place(x, y, width, height));
    return label;
}

QCheckBox* COptionPage::AddCheckBox(const QString& text, const char* objectName, int x, int y,
                                    int width, int height) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setGeometry(Place(x, y, width, height));
    return box;
}

QLineEdit* COptionPage::AddEdit(const char* objectName, int x, int y, int width, int height) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setGeometry(Place(x, y, width, height));
    AcceptOnlyCp1252(edit);
    return edit;
}

QPushButton* COptionPage::AddButton(const QString& text, const char* objectName, int x, int y,
                                    int width, int height) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(Place(x, y, width, height));
    return button;
}

QString FromRecordText(const std::string& text) {
    return FromCp1252(text);
}

std::string ToRecordText(const QString& text) {
    return ToCp1252(text);
}
