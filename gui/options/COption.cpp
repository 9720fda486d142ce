#include "gui/options/COption.h"

#include "gui/ResourceIds.h"
#include "gui/options/COptionCaller.h"
#include "gui/options/COptionIds.h"
#include "gui/options/COptionLine.h"
#include "gui/options/COptionMSN.h"
#include "gui/options/COptionMain.h"
#include "gui/options/COptionNetwork.h"
#include "gui/options/COptionRules.h"
#include "gui/options/COptionTTS.h"
#include "gui/options/COptionTelnet.h"
#include "gui/options/FontChoiceDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

OptionsDialogs StandardOptionsDialogs() {
    OptionsDialogs dialogs;
    dialogs.chooseFont = ChooseFontFaceAndSize;
    dialogs.showWarning = [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, QStringLiteral("TAVO"), text);
    };
    return dialogs;
}

COption::COption(OptionsContext& context, QWidget* parent)
    : QDialog(parent), context(context), tabs(new QTabWidget(this)),
      caller(new COptionCaller(context)), msn(new COptionMSN(context)),
      main(new COptionMain(context)), speech(new COptionTTS(context)),
      telnet(new COptionTelnet(context)),
      network(new COptionNetwork(context)), line(new COptionLine(context)),
      rules(new COptionRules(context)), pages{main, caller, msn, speech, telnet, network, line, rules} {
    setObjectName(OptionIds::Sheet);
    setWindowTitle(tr("options"));
    setModal(true);
    tabs->setObjectName(OptionIds::Tabs);
    // Every page's tab in sight, in every language: the sheet grows to the row of tabs rather
    // than hiding some of them behind scroll arrows.
    tabs->setUsesScrollButtons(false);
    for (COptionPage* page : pages)
        tabs->addTab(page, page->Title());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok = buttons->button(QDialogButtonBox::Ok);
    cancel = buttons->button(QDialogButtonBox::Cancel);
    ok->setObjectName(Ids::Ok.objectName);
    cancel->setObjectName(Ids::Cancel.objectName);
    ok->setText(tr("&OK"));
    cancel->setText(tr("&Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &COption::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COption::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(tabs, &QTabWidget::currentChanged, this, [this](int index) { OnPageChanged(index); });
}

COption::~COption() {
    // A sheet that goes without OK or Cancel (its owner closed it) still lets go of what the
    // pages hold.
    if (!finished) {
        finished = true;
        for (COptionPage* page : pages)
            if (page->WasShown())
                page->OnCancel();
    }
}

void COption::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    pages.at(size_t(activePage))->Activate();
    ChainTabOrder(activePage);
}

void COption::ChainTabOrder(int index) {
    // A page builds its controls after the buttons exist, which would put them last in the
    // focus chain: the page on top goes between the tabs and OK, in the order it was built.
    QWidget* previous = tabs->findChild<QTabBar*>();
    COptionPage* page = pages.at(size_t(index));
    for (QWidget* control : page->findChildren<QWidget*>()) {
        const QWidget* holder = control->parentWidget();
        if ((holder != page && qobject_cast<const QGroupBox*>(holder) == nullptr) ||
            (control->focusPolicy() & Qt::TabFocus) == 0)
            continue;
        if (previous != nullptr)
            setTabOrder(previous, control);
        previous = control;
    }
    setTabOrder(previous, ok);
    setTabOrder(ok, cancel);
}

void COption::SetActivePage(int index) {
    tabs->setCurrentIndex(index);
}

void COption::OnPageChanged(int index) {
    if (returningToPage || index < 0)
        return;
    // A page with a refused value is not left: the user is taken back to it.
    if (index != activePage && !pages.at(size_t(activePage))->Validate()) {
        returningToPage = true;
        tabs->setCurrentIndex(activePage);
        returningToPage = false;
        return;
    }
    activePage = index;
    pages.at(size_t(index))->Activate();
    ChainTabOrder(index);
}

void COption::accept() {
    if (finished)
        return;
    if (!pages.at(size_t(activePage))->Validate())
        return;
    finished = true;
    for (COptionPage* page : pages)
        if (page->WasShown())
            page->OnOK();
    QDialog::accept();
}

void COption::reject() {
    if (finished)
        return;
    finished = true;
    for (COptionPage* page : pages)
        if (page->WasShown())
            page->OnCancel();
    QDialog::reject();
}

bool RunOptionsSheet(QWidget* parent, OptionsContext& context) {
    COption sheet(context, parent);
    return sheet.exec() == QDialog::Accepted;
}
