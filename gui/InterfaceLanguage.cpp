#include "gui/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

QStringList TranslationDirectories() {
    const QString program = QCoreApplication::applicationDirPath();
    return {QDir::cleanPath(program + QStringLiteral("/../translations")),
            QDir::cleanPath(program + QStringLiteral("/../share/tavo/translations"))};
}

QString LoadInterfaceLanguage(const QLocale& locale, const QStringList& directories) {
    QCoreApplication* app = QCoreApplication::instance();
    auto own = std::make_unique<QTranslator>(app);
    bool found = false;
    for (const QString& directory : directories)
        if ((found = own->load(locale, QStringLiteral("tavo"), QStringLiteral("_"), directory)))
            break;
    // English is the program's own language: no file, nothing to load. A language without a
    // translation of TAVO gets no Qt texts in it either, so one window never mixes two.
    if (!found)
        return QString();
    QString language = own->language();
    QCoreApplication::installTranslator(own.release());
    auto qt = std::make_unique<QTranslator>(app);
    if (qt->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt.release());
    return language;
}
