#pragma once

// The program's command line, taken apart before QApplication sees it.
//
// QApplication reads argv itself and removes what it takes for its own options,
// values included, wherever they stand. Left alone, it would take a file named
// "-platform" after "--" for an option, or the file after an unknown "-title" for a
// value. So argv is split first: Qt gets argv[0] and the Qt options it knows that
// stand before "--", nothing else; the program gets its own options and the file
// names.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

namespace velmar::app {

struct SplitArguments {
    // What Qt may parse: argv[0], then each Qt option before "--" with its value.
    // Option names are written with one dash ("--reverse" becomes "-reverse").
    QByteArrayList toolkit;
    // The program's own options and anything else starting with "-" before "--",
    // for QCommandLineParser to accept or reject.
    QByteArrayList options;
    // File names in order: arguments before "--" that do not start with "-" (a lone
    // "-" is a name too), and every argument after "--".
    QByteArrayList files;
    // Set when a Qt option at the end lacks its value.
    QString error;
};

// `arguments` is argv, program name first.
SplitArguments splitArguments(const QByteArrayList& arguments);

// The value of the last "-platform" option in `toolkit`, empty without one.
QByteArray platformOption(const QByteArrayList& toolkit);

// The names of the platform plugins in `folders` (Qt's "platforms" plugin folders),
// lower case, read from the plugins' metadata.
QStringList platformPluginKeys(const QStringList& folders);

// Whether Qt can start the platform `request` ("xcb", "offscreen:fontengine=freetype",
// or a ";"-separated list of such to try in turn) with the plugins in `keys`. An empty
// `keys` list decides nothing and answers true.
bool platformIsAvailable(const QString& request, const QStringList& keys);

} // namespace velmar::app
