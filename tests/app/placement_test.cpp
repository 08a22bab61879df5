#include "app/conversion_choices.h"
#include "app/placement.h"
#include "settings/keys.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

using namespace velmar::app;
namespace keys = velmar::settings::keys;

namespace {

TEST(Placement, TwipsReadAsPixels)
{
    const qreal scale = twipsPerPixel(96); // 15 twips per pixel
    const struct {
        const char16_t* stored;
        std::optional<QRect> expected;
    } cases[] = {
        {u"1500,1500,9000,7500", QRect(100, 100, 600, 500)},
        {u" 1500 , 0 ,9000, 7500 ", QRect(100, 0, 600, 500)},
        {u"-1500,1500,9000,7500", QRect(-100, 100, 600, 500)},
        {u"1507,1500,9000,7500", QRect(100, 100, 600, 500)}, // rounded to the pixel
        {u"1500,1500,6000", std::nullopt},
        {u"1500,1500,9000,7500,1", std::nullopt},
        {u"1500,x,9000,7500", std::nullopt},
        {u"1500.5,1500,9000,7500", std::nullopt},
        {u"", std::nullopt},
    };
    for (const auto& c : cases) {
        const QString stored = QString::fromUtf16(c.stored);
        EXPECT_EQ(placementFromTwips(stored, scale), c.expected) << stored.toStdString();
    }
    EXPECT_EQ(placementToTwips(QRect(100, 100, 600, 500), scale), u"1500,1500,9000,7500");
    EXPECT_EQ(twipsPerPixel(0), 15.0) << "an unknown resolution counts as 96 dpi";
    EXPECT_EQ(twipsPerPixel(144), 10.0);
}

TEST(Placement, StartModeReadings)
{
    const struct {
        const char16_t* stored;
        std::optional<StartMode> expected;
    } cases[] = {
        {u"0", StartMode::Normal},      {u"1", StartMode::Minimised},
        {u" 2 ", StartMode::Maximised}, {u"1.0", StartMode::Minimised},
        {u"3", StartMode::Tray},        {u" 3", std::nullopt},
        {u"3.0", std::nullopt},         {u"4", std::nullopt},
        {u"x", std::nullopt},           {u"", std::nullopt},
    };
    for (const auto& c : cases) {
        const QString stored = QString::fromUtf16(c.stored);
        EXPECT_EQ(startModeFromValue(stored), c.expected) << stored.toStdString();
    }
    for (const StartMode mode :
         {StartMode::Normal, StartMode::Minimised, StartMode::Maximised, StartMode::Tray})
        EXPECT_EQ(startModeFromValue(startModeValue(mode)), mode);
}

TEST(ConversionChoices, StoredValuesRoundTrip)
{
    velmar::testing::TempSettings settings;
    auto& store = *settings.store;
    EXPECT_EQ(readConversionChoices(store), ConversionChoices{});
    EXPECT_TRUE(ConversionChoices{}.utf8) << "a new settings file encodes UTF-8";

    const ConversionChoices chosen{4, 3, false, QStringLiteral("16")};
    storeConversionChoices(chosen, store);
    EXPECT_EQ(store.read(keys::JisEscapes), u"43");
    EXPECT_EQ(store.read(keys::EncodeAsUnicode), u"1");
    EXPECT_EQ(readConversionChoices(store), chosen);

    storeConversionChoices({1, 1, true, QStringLiteral("wide")}, store);
    EXPECT_EQ(store.read(keys::HexLineWidth), u"16") << "a width that is no number is not stored";
}

} // namespace
