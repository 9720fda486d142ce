#pragma once
// "options": the sheet of eight pages over the settings, both directories, tavo.conf and the
// screening rules file. Pages work on copies; OK hands the shown pages' values back, Cancel
// changes nothing.

#include "gui/options/COptionContext.h"

#include <QDialog>

#include <vector>

class COptionCaller;
class COptionLine;
class COptionMain;
class COptionMSN;
class COptionNetwork;
class COptionPage;
class COptionRules;
class COptionTelnet;
class COptionTTS;
class QPushButton;
class QTabWidget;

class COption : public QDialog {
    Q_OBJECT
public:
    explicit COption(OptionsContext& context, QWidget* parent = nullptr);
    ~COption() override;

    // OK: validates the page on top; when that holds, every shown page stores its values.
    void accept() override;
    // Cancel, Esc and the close box: shown pages give up what they hold; nothing is stored.
    void reject() override;

    int PageCount() const { return int(pages.size()); }
    COptionPage* Page(int index) const { return pages.at(size_t(index)); }
    void SetActivePage(int index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnPageChanged(int index);
    void ChainTabOrder(int index);

    OptionsContext& context;
    QTabWidget* tabs;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    // Built in this order; shown as main, caller, MSN, speech, telnet, network, line, rules.
    COptionCaller* caller;
    COptionMSN* msn;
    COptionMain* main;
    COptionTTS* speech;
    COptionTelnet* telnet;
    COptionNetwork* network;
    COptionLine* line;
    COptionRules* rules;
    std::vector<COptionPage*> pages;
    int activePage = 0;
    bool returningToPage = false;
    bool finished = false;
};

// Opens the sheet modally on the first page; true when it was closed with OK.
bool RunOptionsSheet(QWidget* parent, OptionsContext& context);
