#include "text/reply_colors.h"

#include <QPalette>
#include <gtest/gtest.h>

using namespace velmar::text;
using namespace Qt::StringLiterals;

TEST(ReplyColorsTest, TableFromResColor)
{
    struct Case {
        const char16_t* setting;
        QStringList table;
    };
    const Case cases[] = {
        {u">> 255 >,| 32768", {u">> 255"_s, u"> 32768"_s, u"| 32768"_s}},
        {u">,| 255", {u"> 255"_s, u"| 255"_s}},
        {u"null", {}},
        {u"", {}},
        {u", 255", {u" 255"_s}},
        // A last marks token with no colour is left out.
        {u"> 255 >>", {u"> 255"_s}},
        // A colour that is no number drops its own pair only.
        {u"> red # 255", {u"# 255"_s}},
        {u"> -2147483643", {u"> -2147483643"_s}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(buildColorTable(QString::fromUtf16(c.setting)), c.table)
            << QString::fromUtf16(c.setting).toStdString();
}

TEST(ReplyColorsTest, LinesLookedUpFirstMatchWinsOnSpaceTrimmedText)
{
    const LineColorer colorer({u">> 255"_s, u"> 32768"_s});
    const QString text = u">>a\r\n>b\r\n  >b\r\nx\r\n\t>b\r\n\u3000>b\r\nlast"_s;
    EXPECT_EQ(colorer.decideText(text), (QList<int>{0, 1, 1, -1, -1, -1, -1}));

    const LineColorer reversed({u"> 32768"_s, u">> 255"_s});
    EXPECT_EQ(reversed.decideText(u">>a\r\nb"_s), (QList<int>{0, -1}));
}

TEST(ReplyColorsTest, ShortLastLineIsNotLookedUp)
{
    const LineColorer colorer({u"> 255"_s});
    EXPECT_EQ(colorer.decideText(u"abc\r\n>abc"_s), (QList<int>{-1, 0}));
    EXPECT_EQ(colorer.decideText(u"abc\r\n>ab"_s), (QList<int>{-1, -1}));
    EXPECT_EQ(colorer.decideText(u">ab"_s), (QList<int>{-1}));
    EXPECT_EQ(colorer.decideText(u">abc"_s), (QList<int>{0}));
    EXPECT_EQ(colorer.decideText(u">a\r\n"_s), (QList<int>{0, -1}));
}

TEST(ReplyColorsTest, EmptyMarkMatchesEveryLine)
{
    const LineColorer colorer(buildColorTable(u", 255"_s));
    EXPECT_EQ(colorer.decideText(u"x\r\n\r\nplain"_s), (QList<int>{0, 0, 0}));
}
