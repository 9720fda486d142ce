// One language at a time: the entry editor and the sheet's main page show the English texts
// without a translator and only German ones with it; the translators are found and loaded for
// German locales only, Qt's own texts with them.
#include "OptionsFixture.h"

#include "core/MonitorCore.h"
#include "gui/CEditDataDlg.h"
#include "gui/CListViewEx.h"
#include "gui/CMonitorDlg.h"
#include "gui/InterfaceLanguage.h"
#include "gui/ResourceIds.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTranslator>
#include <QTreeWidget>

#include <set>

namespace {

// Every text a person sees: titles, labels, buttons, group boxes, tabs, placeholders.
std::set<QString> ShownTexts(QWidget* window) {
    std::set<QString> texts{window->windowTitle()};
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible())
            continue;
        if (auto* label = qobject_cast<QLabel*>(widget))
            texts.insert(label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            texts.insert(button->text());
        else if (auto* group = qobject_cast<QGroupBox*>(widget))
            texts.insert(group->title());
        else if (auto* tabs = qobject_cast<QTabWidget*>(widget))
            for (int i = 0; i < tabs->count(); ++i)
                texts.insert(tabs->tabText(i));
    }
    texts.erase(QString());
    return texts;
}

class Translated {
public:
    Translated() {
        EXPECT_TRUE(translator.load(QStringLiteral("tavo_de"), QStringLiteral(TAVO_TRANSLATIONS_DIR)));
        QApplication::installTranslator(&translator);
    }
    ~Translated() { QApplication::removeTranslator(&translator); }

private:
    QTranslator translator;
};

std::set<QString> EditorTexts() {
    DirectoryEntry entry;
    entry.key = std::string();
    CEditDataDlg dialog(entry, false, nullptr, std::string("DE"));
    dialog.show();
    dialog.findChild<QLineEdit*>(QString::fromLatin1(Ids::EditNumber.objectName))->setText("030 555-12 34");
    return ShownTexts(&dialog);
}

} // namespace

TEST(InterfaceLanguage, TheEntryEditorSpeaksOneLanguage) {
    EXPECT_EQ(EditorTexts(), (std::set<QString>{"edit data", "&number", "n&ame", "&speak",
                                                "stored as 0305551234", "&OK", "&Cancel"}));
    Translated german;
    EXPECT_EQ(EditorTexts(),
              (std::set<QString>{"Daten bearbeiten", "&Nummer", "Na&me", "An&sage",
                                 "gespeichert als 0305551234", "&OK", "&Abbrechen"}));
}

class MainPageLanguage : public OptionsFixture {
protected:
    std::set<QString> Texts() {
        context.makeSpeechEngine = {};
        OpenSheet();
        std::set<QString> texts = ShownTexts(sheet.get());
        sheet.reset();
        return texts;
    }
    // Not words of either language: the chosen font and the tab that has a name in both.
    const std::set<QString> neutral{"24.Arial", "MSN"};
};

TEST_F(MainPageLanguage, ShowsOnlyEnglishOrOnlyGerman) {
    std::set<QString> english{"options", "main", "caller", "speech", "telnet", "network", "line",
                              "rules", "start &minimize", "do not show in &tasklist when minimized",
                              "system &beep", "&play sound", "spea&k", "only MSNs with &names",
                              "&display time", "sec. ( 0 = disable popup window )",
                              "speak te&xt", "font", "s&elect...", "&OK", "&Cancel"};
    english.insert(neutral.begin(), neutral.end());
    EXPECT_EQ(Texts(), english);

    Translated translated;
    std::set<QString> german{"Optionen", "Allgemein", "Anrufer", "Sprachausgabe", "Telnet",
                             "Netzwerk", "Leitung", "Regeln", "&minimiert starten",
                             "minimiert nicht in der &Taskleiste zeigen", "S&ystemton",
                             "&Klang abspielen", "&Sprechen", "nur MSNs mit &Namen",
                             "Anzeige&dauer", "Sek. ( 0 = kein Popup-Fenster )", "Ansa&getext",
                             "Schrift", "&Wählen...", "&OK", "&Abbrechen"};
    german.insert(neutral.begin(), neutral.end());
    EXPECT_EQ(Texts(), german);
}

TEST(InterfaceLanguage, GermanLocalesLoadTavosAndQtsGermanOthersStayEnglish) {
    const QStringList directories{QStringLiteral("/nonexistent"),
                                  QStringLiteral(TAVO_TRANSLATIONS_DIR)};
    auto removeAll = [] {
        for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
            QApplication::removeTranslator(translator);
            delete translator;
        }
    };
    for (const char* name : {"C", "en_US", "en_GB", "fr_FR"}) {
        EXPECT_EQ(LoadInterfaceLanguage(QLocale(QString::fromLatin1(name)), directories), "")
            << name;
        EXPECT_EQ(CEditDataDlg::tr("&Cancel"), "&Cancel") << name;
        // No Qt texts in a third language beside TAVO's English.
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel") << name;
        removeAll();
    }
    for (const char* name : {"de_DE", "de_AT", "de_CH"}) {
        EXPECT_EQ(LoadInterfaceLanguage(QLocale(QString::fromLatin1(name)), directories), "de")
            << name;
        EXPECT_EQ(CEditDataDlg::tr("&Cancel"), "&Abbrechen") << name;
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen") << name;
        removeAll();
    }
    EXPECT_EQ(LoadInterfaceLanguage(QLocale(QStringLiteral("de_DE")), {"/nonexistent"}), "");
    removeAll();
}

class MainWindowLanguage : public OptionsFixture {};

TEST_F(MainWindowLanguage, DayTabsHeadingsAndTheLineStateAreGerman) {
    // The window keeps its settings under XDG_CONFIG_HOME: the fixture's directory, not $HOME.
    const std::string base = Path("").string();
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/share").c_str(), 1);
    Translated german;
    CommandLine options;
    options.line = LineKind::Sim;
    // Wednesday, 9 December 2026, noon.
    MonitorCore core(options, [] { return std::time_t(1'796'817'600); },
                     std::make_unique<SilentSoundSink>());
    {
        CMonitorDlg window(core);
        window.StartUp();
        window.ShowAsStarted();
        QTabBar* tabs = window.DayTabs();
        ASSERT_EQ(tabs->count(), 8);
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        EXPECT_EQ(captions.mid(0, 3),
                  (QStringList{"Mi 09.12.2026", "Di 08.12.2026", "Mo 07.12.2026"}));
        QTreeWidget* view = window.CallView();
        EXPECT_EQ(view->headerItem()->text(0), "Datum/Uhrzeit");
        auto* line = window.StatusBar()->findChild<QLabel*>("IDC_LINE_STATUS");
        ASSERT_NE(line, nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(line->text(), QStringLiteral("Leitung: empfangsbereit"), 5000);
    }
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
}
