#pragma once

// Qt's own texts (the standard dialogs, the text area's context menu) in the user's
// language. The program's own texts are Japanese whatever the locale.

#include <QLocale>
#include <QString>

class QCoreApplication;
class QTranslator;

namespace velmar::app {

// Installs Qt's translations for `locale` from `folder` (Qt's translation folder by
// default) into `app`, which owns the translator. Returns the translator, or null
// when the folder has none for that locale: Qt then stays in English.
QTranslator* installQtTranslations(QCoreApplication& app, const QLocale& locale,
                                   const QString& folder = {});

} // namespace velmar::app
