// Opens the options sheet on one page with sample data, for looking at the layout on a real
// display (screenshots under Xvfb), in the locale's language. Usage: options_showcase PAGE
// (0 main ... 5 network; 6 the entry editor with a typed number; 7 the rules page with a
// sample file in the temporary directory, checked, one line wrong; 8 the line page with the
// router's feed and a PBX's manager beside CAPI).
#include "gui/CEditDataDlg.h"
#include "gui/InterfaceLanguage.h"
#include "gui/options/COption.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LoadInterfaceLanguage(QLocale::system(), {QStringLiteral(TAVO_TRANSLATIONS_DIR)});
    const int page = argc > 1 ? std::atoi(argv[1]) : 0;
    if (page == 6) {
        DirectoryEntry entry;
        entry.key = std::string();
        CEditDataDlg editor(entry, false);
        editor.findChild<QLineEdit*>()->setText(QStringLiteral("030 555-12 34"));
        editor.show();
        QTimer::singleShot(6000, &app, &QApplication::quit);
        return app.exec();
    }
    GuardedSettings settings;
    SetDefaultSettings(*settings.Write());
    settings.Write()->telnetEnabled = 1;
    std::snprintf(settings.Write()->telnetUserId, sizeof(Settings::telnetUserId), "%s", "admin");
    GuardedLists lists;
    auto add = [](Directory& directory, const char* key, const char* value, const char* speak) {
        DirectoryEntry entry;
        entry.key = key;
        entry.value = value;
        entry.speakText = speak;
        directory.append(entry);
    };
    add(lists.Write()->phoneBook, "0301234567", "Anna Example", "");
    add(lists.Write()->phoneBook, "089555000", "Office Munich with a name far too long for its column",
        "the office");
    add(lists.Write()->phoneBook, "0402233", "Bernd", "Bernd at home");
    add(lists.Write()->msnList, "1234567", "Phone", "phone");
    add(lists.Write()->msnList, "1234568", "Fax", "fax");
    OptionsContext context(settings, lists);
    context.phoneBookFile = "/dev/null";
    context.msnListFile = "/dev/null";
    OutputSettings outputs;
    outputs.ncid.enabled = true;
    context.outputSettings = &outputs;
    LineSettings lines;
    lines.sources = {LineSource::Capi, LineSource::CallMonitor, LineSource::Ami};
    lines.callMonitor.host = "192.168.178.1";
    lines.ami.host = "192.168.178.2";
    lines.ami.user = "tavo";
    lines.ami.secret = "a-long-secret";
    context.lineSettings = &lines;
    if (page == 7) {
        context.rulesFile = (QDir::tempPath() + QStringLiteral("/tavo-showcase-rules.conf"))
                                .toStdString();
        context.country = "DE";
        std::ofstream(context.rulesFile)
            << "announce known\nannounce repeat=2/5\nquiet    time=22:00-07:00\n"
               "reject   type=premium\nreject   number=0900*\nquiet    withheld days=sat,sun\n"
               "hush     time=22:00-07:00\n";
    }
    COption sheet(context);
    sheet.show();
    sheet.findChild<QTabWidget*>("IDC_OPTION_TABS")->setCurrentIndex(page == 8 ? 6 : page);
    if (page == 7)
        sheet.findChild<QAbstractButton*>("IDC_RULES_CHECK")->click();
    // TAVO_SHOWCASE_SHOT=FILE.png: the sheet as drawn, for a display without a screenshot tool.
    if (const char* shot = std::getenv("TAVO_SHOWCASE_SHOT"))
        QTimer::singleShot(1500, &sheet, [&sheet, path = QString::fromLocal8Bit(shot)] {
            sheet.grab().save(path);
        });
    if (auto* list = sheet.findChild<QTabWidget*>("IDC_OPTION_TABS")
                         ->currentWidget()
                         ->findChild<QTreeWidget*>())
        list->setCurrentItem(list->topLevelItem(1));
    QTimer::singleShot(6000, &app, &QApplication::quit);
    return app.exec();
}
