#include "settings/keys.h"
#include "support/temp_settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

using namespace velmar::settings;

namespace {

// Each typed key read from a store holding a hand-edited or damaged value.
TEST(SettingValues, StoredNumbersReadInsideTheirRange)
{
    velmar::testing::TempSettings t;
    SettingsStore& store = *t.store;
    const auto with = [&store](const Setting& key, const char* stored) {
        store.write(key, QString::fromUtf8(stored));
    };

    struct Case {
        const char* stored;
        int width;
    };
    const Case widths[] = {{"49", 49},     {" 80 ", 80}, {"6.9", 6},     {"0", 49},
                           {"-3", 49},     {"abc", 49},  {"1e30", 4096}, {"1e300", 4096},
                           {"4097", 4096}, {"inf", 49},  {"", 49}};
    for (const Case& c : widths) {
        with(keys::HexLineWidth, c.stored);
        EXPECT_EQ(read(store, keys::HexLineWidthValue), c.width) << c.stored;
    }

    struct PointsCase {
        const char* stored;
        std::optional<double> points;
    };
    const PointsCase points[] = {{"NULL", std::nullopt}, {"11.5", 11.5},
                                 {"0", std::nullopt},    {"x", std::nullopt},
                                 {"0.5", MinFontPoints}, {"1e6", MaxFontPoints}};
    for (const PointsCase& c : points) {
        with(keys::FontSize, c.stored);
        EXPECT_EQ(read(store, keys::FontPoints), c.points) << c.stored;
    }

    // 0 would make the user invisible: no entry, no exit, no answer.
    const Case retries[] = {{" 6.9 ", 6}, {"abc", 6},  {"0", 1}, {"-2", 1},   {"0.5", 1},
                            {"20", 20},   {"600", 20}, {"", 6},  {"１２", 12}};
    for (const Case& c : retries) {
        with(keys::Retry, c.stored);
        EXPECT_EQ(read(store, keys::RetryCount), c.width) << c.stored;
    }
    with(keys::FontBold, "true");
    EXPECT_EQ(read(store, keys::FontBoldFlag), true);
    with(keys::FontBold, "NULL");
    EXPECT_EQ(read(store, keys::FontBoldFlag), std::nullopt);
}

TEST(SettingValues, PortsOutsideOneTo65535TakeTheDefault)
{
    struct Case {
        const char* checked;
        quint16 port;
    };
    const Case cases[] = {{"2426", 2426}, {"1", 1},        {"65535", 65535},
                          {"0", 2425},    {"error", 2425}, {"65536", 2425}};
    for (const Case& c : cases)
        EXPECT_EQ(portFromCheck(QString::fromUtf8(c.checked), 2425), c.port) << c.checked;
}

TEST(SettingValues, PlacementFitsTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize minimum(200, 100);
    struct Case {
        const char* name;
        QRect wanted;
        std::optional<QRect> placed;
    };
    const Case cases[] = {
        {"fits", QRect(100, 50, 800, 600), QRect(100, 50, 800, 600)},
        {"huge square", QRect(0, 0, 32767, 32767), QRect(0, 0, 1920, 1080)},
        {"off screen", QRect(5000, -4000, 800, 600), QRect(1120, 0, 800, 600)},
        {"far off, int range", QRect(2147480000, 0, 800, 600), QRect(1120, 0, 800, 600)},
        {"too small", QRect(10, 10, 5, 5), QRect(10, 10, 200, 100)},
        {"empty", QRect(10, 10, 0, 600), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitPlacement(c.wanted, screen, minimum), c.placed) << c.name;

    EXPECT_EQ(placementTwips(QStringLiteral("1, 2,3 ,4")), QRect(1, 2, 3, 4));
    EXPECT_EQ(placementTwips(QStringLiteral("1,2,3")), std::nullopt);
    EXPECT_EQ(placementTwips(QStringLiteral("1,2,3,99999999999")), std::nullopt);
}

TEST(SettingsStore, AFileThatCannotBeWrittenIsReportedOnceWithItsReason)
{
    QTemporaryDir dir;
    // A folder that cannot exist: its parent is a regular file (root may write
    // anywhere else).
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SettingsStore store(blocker + QStringLiteral("/Velmar/Velmar5.ini"));
    QStringList reports;
    store.setWriteFailureHandler([&reports](const QString& path, const QString& reason) {
        reports << path + u'|' + reason;
    });
    store.write(keys::ReplyMark, QStringLiteral(">>"));
    store.write(keys::Port, QStringLiteral("2426"));
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.first(), blocker + QStringLiteral("/Velmar/Velmar5.ini|") +
                                   QString::fromLocal8Bit(std::strerror(ENOTDIR)));

    velmar::testing::TempSettings fine;
    fine.store->setWriteFailureHandler(
        [&reports](const QString&, const QString&) { reports << QStringLiteral("unexpected"); });
    fine.store->write(keys::ReplyMark, QStringLiteral(">>"));
    EXPECT_EQ(reports.size(), 1);
}

} // namespace
