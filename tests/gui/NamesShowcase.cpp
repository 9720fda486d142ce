// Not a test: the main window over a sample history, with the search, the statistics or the
// import preview open, for screenshots under Xvfb.
// Usage: names_showcase search|stats|import|popups|lost|screened; TAVO_SHOWCASE_DARK=1 for a
// dark palette; TAVO_SHOWCASE_SHOT=FILE.png saves the window as drawn.
#include "core/DemoData.h"
#include "core/ImportPreview.h"
#include "core/MonitorCore.h"
#include "data/ListFile.h"
#include "gui/CMonitorDlg.h"
#include "gui/CStatisticsDlg.h"
#include "gui/CallSearchBar.h"
#include "gui/ImportPreviewDlg.h"
#include "platform/DataDirectory.h"

#include <QApplication>
#include <QPalette>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Six weeks of calls from the demo's numbers, more in office hours.
void WriteHistory(std::time_t now) {
    const char* callers[] = {"0301234567", "0891112233",   "0201987654", "040555666", "06912345678",
                             "0",          "004989765432", "0221778899", "0301234567"};
    CallList calls;
    unsigned seed = 7;
    for (int day = 42; day >= 0; --day) {
        const int count = 3 + int((seed = seed * 1103515245 + 12345) >> 16) % 9;
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245 + 12345;
            const int hour = 8 + int(seed >> 16) % 11;
            const std::time_t when = now - day * 86400 - (now % 86400) + hour * 3600 + i * 60;
            if (when > now)
                continue;
            CallRecord record;
            record.callTime = int32_t(when);
            record.hasTime = true;
            record.key = i % 3 ? "5551" : "5552";
            record.value = callers[(seed >> 8) % 9];
            record.cipValue = i % 4 ? 16 : 1;
            record.repeatCount = 1;
            calls.append(record);
        }
    }
    SaveListFile(calls, "caller.his");
}

} // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "search";
    std::string pattern = (std::filesystem::temp_directory_path() / "tavo-shots-XXXXXX").string();
    const std::string dir = mkdtemp(pattern.data());
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    if (!SeedDemoData(dir).empty() || !EnterDataDirectory(dir).empty())
        return 1;
    WriteHistory(std::time(nullptr));
    if (what == "screened") {
        std::filesystem::create_directories(dir + "/config/TAVO");
        std::FILE* rules = std::fopen((dir + "/config/TAVO/rules.conf").c_str(), "wb");
        std::fputs("quiet    number=0891112233\nannounce known\nreject   withheld\n", rules);
        std::fclose(rules);
    }
    QApplication app(argc, argv);
    if (std::getenv("TAVO_SHOWCASE_DARK") != nullptr) {
        // A dark desktop theme's colours: light text on dark grounds.
        QApplication::setStyle(QStringLiteral("fusion"));
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
        dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
        dark.setColor(QPalette::HighlightedText, Qt::white);
        dark.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a));
        dark.setColor(QPalette::ToolTipText, QColor(0xee, 0xee, 0xee));
        QApplication::setPalette(dark);
    }
    CommandLine options;
    options.line = LineKind::Sim;
    options.dataDir = dir;
    MonitorCore core(options);
    CMonitorDlg window(core);
    window.StartUp();
    window.resize(640, 460);
    window.ShowAsStarted();
    if (what == "search") {
        window.SearchBar()->setFocus();
        window.SearchBar()->setText(QStringLiteral("berlin"));
    } else if (what == "popups") {
        // Three calls close together while the user types into the search field.
        window.activateWindow();
        window.SearchBar()->setFocus();
        static CallRecord calls[3];
        const char* texts[] = {"Anna Berger  0301234567  ( Office/telephony ) ",
                               "0891112233  ( Private/speech ) ",
                               "<< unknown >>  ( Office/telephony ) "};
        for (int i = 0; i < 3; ++i) {
            calls[i].repeatCount = 1;
            QTimer::singleShot(1500 + i * 400, &window,
                               [&window, i, texts] { window.ShowPopup(texts[i], calls[i]); });
        }
        QTimer::singleShot(1200, &window, [&window] {
            window.SearchBar()->setText(QStringLiteral("Frankfurt am Main"));
        });
    } else if (what == "lost") {
        LineStatus lost;
        lost.state = LineStatus::State::Lost;
        lost.since = std::time(nullptr) - 300;
        lost.retryAt = std::time(nullptr) + 30;
        window.SetLineStatus(lost);
    } else if (what == "screened") {
        // Three calls now: one kept quiet, one rejected, one from the phone book announced.
        for (const char* calling : {"0891112233", "0", "0301234567"}) {
            IncomingCallNotice notice;
            notice.callingNumber = calling;
            notice.calledNumber = "5551";
            notice.cipValue = 16;
            notice.connectionId = 0x101 + uint32_t(calling[1]);
            core.OnIncomingCall(notice);
        }
    } else if (what == "stats") {
        window.OnStatistics();
    } else if (what == "import") {
        const std::string vcf = dir + "/contacts.vcf";
        std::FILE* file = std::fopen(vcf.c_str(), "wb");
        std::fputs("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Berger\r\nTEL:+49 30 1234567\r\n"
                   "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:4.0\r\nN:M\xC3\xBCller;J\xC3\xBCrgen;;;\r\n"
                   "TEL;TYPE=home:+49 40 555 666\r\nTEL;TYPE=cell:+49 151 2345\r\n 6789\r\n"
                   "TEL;VALUE=uri:tel:+44-20-7946-0018\r\nEND:VCARD\r\nBEGIN:VCARD\r\n"
                   "FN:Pizza Service\r\nTEL:0201 987654\r\nTEL:0201/987654\r\nTEL:987654\r\n"
                   "END:VCARD\r\n",
                   file);
        std::fclose(file);
        std::vector<ContactFile> files{ReadContactFile(vcf)};
        ImportPreview preview = BuildImportPreview(files, core.lists.Read()->phoneBook, [](const std::string& w) {
            return NumberAsLineDelivers(w, "DE");
        });
        auto* dialog = new ImportPreviewDlg(
            preview, QStringLiteral("Numbers as the line delivers them in DE (from LANG)."),
            &window);
        dialog->show();
    }
    if (const char* shot = std::getenv("TAVO_SHOWCASE_SHOT"))
        QTimer::singleShot(2000, &window, [&window, path = QString::fromLocal8Bit(shot)] {
            window.grab().save(path);
        });
    QTimer::singleShot(what == "popups" ? 12000 : 8000, &app, [] { QApplication::quit(); });
    const int code = app.exec();
    std::filesystem::remove_all(dir);
    return code;
}
