#pragma once
// One page of the options sheet. A page builds its controls when it is first shown; only pages
// that were shown take part when the sheet closes.

#include "gui/DialogUnits.h"
#include "gui/options/COptionContext.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class COptionPage : public QWidget {
public:
    COptionPage(OptionsContext& context, const char* title, const char* objectName);

    QString Title() const { return title; }
    bool WasShown() const { return shown; }
    // Called by the sheet whenever the page comes on top; the first time builds the page.
    void Activate();

    // The data exchange when the page is left or the sheet confirmed: false (after telling the
    // user) keeps the sheet open on this page.
    virtual bool Validate() { return true; }
    virtual void OnOK() {}
    virtual void OnCancel() {}

    // Every page shares one template size, in dialog units.
    static constexpr int templateWidth = 270;
    static constexpr int templateHeight = 180;

protected:
    virtual void OnInitDialog() = 0;

    // Controls placed by dialog units of the page's font.
    QLabel* AddLabel(const QString& text, int x, int y, int width, int height);
    QCheckBox* AddCheckBox(const QString& text, const char* objectName, int x, int y, int width,
                           int height);
    QLineEdit* AddEdit(const char* objectName, int x, int y, int width, int height);
    QPushButton* AddButton(const QString& text, const char* objectName, int x, int y, int width,
                           int height);
    QRect Place(int x, int y, int width, int height) const {
        return units.Rect(x, y, width, height);
    }

    OptionsContext& context;

private:
    QString title;
    DialogUnits units;
    bool shown = false;
};

// Texts of the record are 8-bit Windows-1252; every byte keeps its character both ways.
QString FromRecordText(const std::string& text);
std::string ToRecordText(const QString& text);
