#pragma once
// One page of the options sheet. A page builds its controls when it is first shown; only pages
// that were shown take part when the sheet closes. Pages lay their controls out with Qt layouts,
// so no control covers another whatever the font, the scale or the language.

#include "gui/DialogUnits.h"
#include "gui/options/COptionContext.h"

#include <QWidget>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class COptionPage : public QWidget {
    Q_OBJECT
public:
    // `title` is translated in the context "COptionPage" (mark it with QT_TRANSLATE_NOOP).
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

    // Every page is at least as large as the shared template, in dialog units; a page whose
    // controls need more (a larger font, a longer language) grows.
    static constexpr int templateWidth = 270;
    static constexpr int templateHeight = 180;
    QSize sizeHint() const override;

protected:
    virtual void OnInitDialog() = 0;

    // Controls made for a layout. A label for a box becomes its buddy (its mnemonic moves the
    // focus there) and names the box for screen readers.
    QLabel* MakeLabel(const QString& text);
    QLabel* MakeLabel(const QString& text, QWidget* box);
    QCheckBox* MakeCheckBox(const QString& text, const char* objectName);
    QLineEdit* MakeEdit(const char* objectName);
    QPushButton* MakeButton(const QString& text, const char* objectName);
    // A box as wide as `characters` average characters of the page's font.
    int CharactersWide(int characters) const;

    // For pages that read their fields into settings the sheet's owner keeps: Validate reads
    // them into a copy and shows the first problem; OnOK reads them into the settings.
    // `read(settings, problem)` is false with `problem` set when a field is refused.
    template <typename Page, typename Settings>
    using SettingsReader = bool (Page::*)(Settings&, QString&) const;
    template <typename Page, typename Settings>
    bool ValidateByReading(const Settings* stored, SettingsReader<Page, Settings> read) {
        if (!WasShown() || stored == nullptr)
            return true;
        Settings copy = *stored;
        QString problem;
        if ((static_cast<const Page*>(this)->*read)(copy, problem))
            return true;
        if (context.dialogs.showWarning)
            context.dialogs.showWarning(this, problem);
        return false;
    }
    template <typename Page, typename Settings>
    void StoreByReading(Settings* stored, SettingsReader<Page, Settings> read) {
        QString problem;
        if (stored != nullptr)
            (static_cast<const Page*>(this)->*read)(*stored, problem);
    }

    OptionsContext& context;

private:
    QString title;
    DialogUnits units;
    bool shown = false;
};

// A box's text without blanks around it.
std::string TrimmedText(const QLineEdit* box);
// The box's whole number when it lies from `low` to `high` (stored in `value`); false otherwise.
bool ReadNumberBox(const QLineEdit* box, int low, int high, int& value);

// The text of a label without its mnemonic mark: "&port" -> "port", "a && b" -> "a & b".
QString WithoutMnemonic(const QString& text);

// Texts of the record are 8-bit Windows-1252; every byte keeps its character both ways.
QString FromRecordText(const std::string& text);
std::string ToRecordText(const QString& text);
