#include "gui/AreaCodesMenu.h"

#include "core/GeocodedAreaCodes.h"
#include "core/MonitorCore.h"
#include "core/UserCountry.h"
#include "platform/FileBytes.h"

#include <QCoreApplication>
#include <QMessageBox>

AreaCodeQuestions StandardAreaCodeQuestions() {
    AreaCodeQuestions questions;
    questions.ask = [](QWidget* parent, const QString& text) {
        return QMessageBox::question(parent, QStringLiteral("TAVO"), text) == QMessageBox::Yes;
    };
    questions.tell = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QStringLiteral("TAVO"), text);
    };
    return questions;
}

bool OfferAreaCodes(QWidget* parent, MonitorCore& core, const AreaCodeQuestions& questions,
                    const std::string& fileName) {
    const CountryChoice country = ChooseCountry(std::nullopt);
    if (!country.error.empty()) {
        questions.tell(parent, QString::fromStdString(country.error));
        return false;
    }
    const GeocodedTable table = GeocodedAreaCodes(country.country, LocaleLanguage());
    if (!table.error.empty()) {
        questions.tell(parent, QString::fromStdString(table.error));
        return false;
    }
    const QString name = QString::fromStdString(fileName);
    if (!questions.ask(parent, QCoreApplication::translate(
                                   "AreaCodesMenu", "An area-code table for %1 has %2 entries.\n"
                                                    "Write it to %3 and use it?")
                                   .arg(QString::fromStdString(country.country))
                                   .arg(table.entries.size())
                                   .arg(name)))
        return false;
    const size_t existing = core.lists.Read()->areaCodes.size();
    if (existing > 0 &&
        !questions.ask(
            parent, QCoreApplication::translate("AreaCodesMenu",
                                                "Your %1 holds %2 entries. Replace them with the "
                                                "%3 entries of the new table?")
                        .arg(name)
                        .arg(existing)
                        .arg(table.entries.size())))
        return false;
    const std::string text = AreaCodeFileText(table.entries);
    if (!ReplaceFileAtomically(fileName, text)) {
        questions.tell(parent, QCoreApplication::translate(
                                   "AreaCodesMenu", "Unable to write %1; it is left as it was.")
                                   .arg(name));
        return false;
    }
    const auto lists = core.lists.Write();
    lists->areaCodes.ClearAreaCodes();
    lists->areaCodes.AddAreaCodes(text);
    return true;
}
