#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace velmar::app {

QTranslator* installQtTranslations(QCoreApplication& app, const QLocale& locale,
                                   const QString& folder)
{
    const QString from =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    // "qt_<lang>.qm" is a catalogue of catalogues: it pulls in qtbase and the other
    // modules' files of the same language. QTranslator tries ja_JP, then ja.
    auto* translator = new QTranslator(&app);
    if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"), from)) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

} // namespace velmar::app
