#include "app/command_line.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <gtest/gtest.h>

namespace {

using velmar::app::platformIsAvailable;
using velmar::app::platformOption;
using velmar::app::platformPluginKeys;
using velmar::app::splitArguments;

QByteArrayList words(const char* text)
{
    QByteArrayList list;
    for (const QByteArray& word : QByteArray(text).split(' ')) {
        if (!word.isEmpty())
            list.append(word == "<space>" ? QByteArray("a b.txt") : word);
    }
    return list;
}

std::string joined(const QByteArrayList& list)
{
    return list.join(' ').toStdString();
}

struct SplitCase {
    const char* arguments;
    const char* toolkit;
    const char* options;
    const char* files;
};

// Qt sees only its own options before "--"; file names never reach it.
TEST(CommandLine, SplitsArgumentsBetweenQtTheProgramAndFiles)
{
    const SplitCase cases[] = {
        {"velmar", "velmar", "", ""},
        {"velmar a.txt b.txt", "velmar", "", "a.txt b.txt"},
        {"velmar <space>", "velmar", "", "a b.txt"},
        {"velmar --help", "velmar", "--help", ""},
        {"velmar -v x", "velmar", "-v", "x"},
        // Qt's options, with their values, wherever they stand before "--".
        {"velmar -platform offscreen a.txt", "velmar -platform offscreen", "", "a.txt"},
        {"velmar a.txt -style fusion -reverse b.txt", "velmar -style fusion -reverse", "",
         "a.txt b.txt"},
        {"velmar --reverse -style=fusion", "velmar -reverse -style=fusion", "", ""},
        {"velmar -display :1 -geometry 10x10", "velmar -display :1 -geometry 10x10", "", ""},
        // "-platform x.txt" is Qt's option: whether the platform exists is checked apart.
        {"velmar -platform x.txt", "velmar -platform x.txt", "", ""},
        // Not a Qt option: the parser rejects it, and the next name stays a file.
        {"velmar -title a.txt", "velmar", "-title", "a.txt"},
        {"velmar -platform=xcb", "velmar", "-platform=xcb", ""},
        // After "--" everything is a file, Qt's options and "--" included.
        {"velmar -- -platform x.txt", "velmar", "", "-platform x.txt"},
        {"velmar -reverse -- -title -- --help", "velmar -reverse", "", "-title -- --help"},
        {"velmar a -- b", "velmar", "", "a b"},
        {"velmar - --", "velmar", "", "-"},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        const auto split = splitArguments(words(c.arguments));
        EXPECT_EQ(joined(split.toolkit), c.toolkit);
        EXPECT_EQ(joined(split.options), c.options);
        EXPECT_EQ(joined(split.files), c.files);
        EXPECT_TRUE(split.error.isEmpty()) << split.error.toStdString();
    }
}

TEST(CommandLine, AQtOptionWithoutItsValueIsAnError)
{
    const auto split = splitArguments(words("velmar a.txt -platform"));
    EXPECT_EQ(split.error.toStdString(), "option -platform needs a value");
    EXPECT_EQ(joined(split.toolkit), "velmar");
}

TEST(CommandLine, PlatformOptionIsTheLastOneGivenNotAValueThatLooksLikeIt)
{
    EXPECT_EQ(platformOption(words("velmar")), "");
    EXPECT_EQ(platformOption(words("velmar -platform a -reverse -platform b")), "b");
    EXPECT_EQ(platformOption(words("velmar -qwindowtitle -platform")), "");
}

TEST(CommandLine, PlatformRequestsAreCheckedAgainstThePluginsKeys)
{
    const QStringList keys{QStringLiteral("offscreen"), QStringLiteral("xcb")};
    const struct {
        const char* request;
        bool available;
    } cases[] = {
        {"xcb", true},         {"XCB", true},    {"offscreen:fontengine=freetype", true},
        {"wayland;xcb", true}, {"x.txt", false}, {"wayland", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platformIsAvailable(QString::fromUtf8(c.request), keys), c.available)
            << c.request;
    EXPECT_TRUE(platformIsAvailable(QStringLiteral("anything"), {}));
}

TEST(CommandLine, PluginKeysAreReadFromTheInstalledPlugins)
{
    const QStringList keys =
        platformPluginKeys({QLibraryInfo::path(QLibraryInfo::PluginsPath) + u"/platforms",
                            QStringLiteral("/nonexistent")});
    EXPECT_TRUE(keys.contains(QStringLiteral("offscreen"))) << keys.join(u' ').toStdString();
    EXPECT_TRUE(keys.contains(QStringLiteral("xcb"))) << keys.join(u' ').toStdString();
    EXPECT_TRUE(platformPluginKeys({QStringLiteral("/nonexistent")}).isEmpty());
}

} // namespace
