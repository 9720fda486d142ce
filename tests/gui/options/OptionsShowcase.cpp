// Opens the options sheet on one page with sample data, for looking at the layout on a real
// display (screenshots under Xvfb). Usage: options_showcase PAGE (0 main ... 4 telnet).
#include "gui/options/COption.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int page = argc > 1 ? std::atoi(argv[1]) : 0;
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
    COption sheet(context);
    sheet.show();
    sheet.findChild<QTabWidget*>("IDC_OPTION_TABS")->setCurrentIndex(page);
    if (auto* list = sheet.findChild<QTabWidget*>("IDC_OPTION_TABS")
                         ->currentWidget()
                         ->findChild<QTreeWidget*>())
        list->setCurrentItem(list->topLevelItem(1));
    QTimer::singleShot(6000, &app, &QApplication::quit);
    return app.exec();
}
