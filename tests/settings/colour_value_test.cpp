#include "settings/colour_value.h"

#include <gtest/gtest.h>

using namespace velmar::settings;

namespace {

TEST(ColourValue, ColourValuesReadInTheStoredLayout)
{
    struct Case {
        const char16_t* text;
        std::optional<quint32> value;
    };
    const Case cases[] = {
        {u"255", 255u},
        {u"16711680", 0xFF0000u},
        {u"-2147483643", 0x80000005u},
        {u"2147483653", 0x80000005u},
        {u"0", 0u},
        {u" 255 ", 255u},
        {u"", std::nullopt},
        {u"red", std::nullopt},
        {u"12ab", std::nullopt},
        {u"4294967296", std::nullopt},
        {u"-2147483649", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseColorValue(QStringView(c.text)), c.value)
            << QString::fromUtf16(c.text).toStdString();
}

TEST(ColourValue, RedIsLowByteAndSystemColoursComeFromThePalette)
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    EXPECT_EQ(colorFromValue(255, palette), QColor(255, 0, 0));
    EXPECT_EQ(colorFromValue(0x00336699, palette), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(colorFromValue(0x80000005, palette), QColor(1, 2, 3));
    EXPECT_EQ(colorFromValue(0x800000FF, palette), std::nullopt);
    EXPECT_EQ(colorFromSetting(u"x", palette), std::nullopt);
    EXPECT_EQ(colorToValue(QColor(0x99, 0x66, 0x33)), 0x00336699u);
}

} // namespace
