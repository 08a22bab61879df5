#include "app/command_line.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <algorithm>
#include <array>
#include <string_view>

namespace velmar::app {

namespace {

// Qt's own options as QGuiApplication, QApplication and the X11 platform read them.
constexpr std::array<std::string_view, 12> optionsWithValue{
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "style",           "stylesheet",         "display",       "geometry"};
constexpr std::array<std::string_view, 5> flags{"reverse", "widgetcount", "nograb", "dograb",
                                                "sync"};
// QApplication also reads these two as "-style=name" and "-stylesheet=file".
constexpr std::array<std::string_view, 2> optionsWithAttachedValue{"style", "stylesheet"};

bool contains(const auto& list, std::string_view name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

} // namespace

SplitArguments splitArguments(const QByteArrayList& arguments)
{
    SplitArguments split;
    if (arguments.isEmpty())
        return split;
    split.toolkit.append(arguments.first());
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        if (argument == "--") {
            split.files.append(arguments.mid(i + 1));
            break;
        }
        if (!argument.startsWith('-') || argument == "-") {
            split.files.append(argument);
            continue;
        }
        const QByteArray name = argument.mid(argument.startsWith("--") ? 2 : 1);
        const qsizetype equals = name.indexOf('=');
        if (equals > 0 && contains(optionsWithAttachedValue, view(name.left(equals)))) {
            split.toolkit.append('-' + name);
        } else if (contains(flags, view(name))) {
            split.toolkit.append('-' + name);
        } else if (contains(optionsWithValue, view(name))) {
            if (i + 1 == arguments.size()) {
                split.error =
                    QStringLiteral("option -%1 needs a value").arg(QString::fromLatin1(name));
                break;
            }
            split.toolkit.append('-' + name);
            split.toolkit.append(arguments[++i]);
        } else {
            split.options.append(argument);
        }
    }
    return split;
}

QByteArray platformOption(const QByteArrayList& toolkit)
{
    QByteArray value;
    for (qsizetype i = 1; i + 1 < toolkit.size(); ++i) {
        if (toolkit[i] == "-platform")
            value = toolkit[++i];
        else if (toolkit[i].startsWith('-') && contains(optionsWithValue, view(toolkit[i].mid(1))))
            ++i;
    }
    return value;
}

QStringList platformPluginKeys(const QStringList& folders)
{
    QStringList keys;
    for (const QString& folder : folders) {
        const QDir platforms(folder);
        const QStringList libraries =
            platforms.entryList({QStringLiteral("*.so")}, QDir::Files | QDir::Readable);
        for (const QString& library : libraries) {
            const QPluginLoader loader(platforms.filePath(library));
            const QJsonArray pluginKeys = loader.metaData()
                                              .value(QStringLiteral("MetaData"))
                                              .toObject()
                                              .value(QStringLiteral("Keys"))
                                              .toArray();
            for (const auto& key : pluginKeys) {
                const QString lower = key.toString().toLower();
                if (!lower.isEmpty() && !keys.contains(lower))
                    keys.append(lower);
            }
        }
    }
    keys.sort();
    return keys;
}

bool platformIsAvailable(const QString& request, const QStringList& keys)
{
    if (keys.isEmpty())
        return true;
    const QStringList choices = request.split(u';', Qt::SkipEmptyParts);
    return std::any_of(choices.begin(), choices.end(), [&](const QString& choice) {
        return keys.contains(choice.section(u':', 0, 0).trimmed().toLower());
    });
}

} // namespace velmar::app
