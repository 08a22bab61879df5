#include "ipmsg/ui/user_list_layout.h"

#include <gtest/gtest.h>

namespace velmar::ipmsg {
namespace {

UserListMetrics sampleMetrics()
{
    UserListMetrics m{};
    m.frame1 = {1650, 1800};
    m.check1 = {900, 300};
    m.check2 = {900, 300};
    m.buttonHeight = 360;
    m.label1 = {600, 270};
    m.progressHeight = 180;
    m.label2 = {600, 270};
    m.label3 = {1350, 270};
    m.label4 = {900, 270};
    return m;
}

TEST(userListLayout, DesignSizeFollowsTheColumnRules)
{
    const UserListMetrics m = sampleMetrics();
    const auto r = userListLayout(5685, 5250, m);

    // Buttons: width Int(5685 / 4.5), one column centred at three quarters.
    for (const char* name : {"Command1", "Command2", "Command3"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(r.value(QString::fromLatin1(name)).left(), 3632);
        EXPECT_EQ(r.value(QString::fromLatin1(name)).width(), 1263);
    }
    EXPECT_LT(r.value(QStringLiteral("Command1")).bottom(),
              r.value(QStringLiteral("Command2")).top());
    EXPECT_LT(r.value(QStringLiteral("Command2")).bottom(),
              r.value(QStringLiteral("Command3")).top());

    EXPECT_EQ(r.value(QStringLiteral("Check1")).left(), 2392); // Int((5685 - 900) / 2)
    EXPECT_EQ(r.value(QStringLiteral("Check2")).left(), 2392);
    EXPECT_EQ(r.value(QStringLiteral("Frame1")).left(), 596);  // Int(1421.25 - 825)
    EXPECT_EQ(r.value(QStringLiteral("Label1")).left(), 2542); // Int((5685 - 600) / 2)
    EXPECT_EQ(r.value(QStringLiteral("ProgressBar1")),
              QRect(20, r.value(QStringLiteral("ProgressBar1")).top(), 5645, 180));

    const QRect grid = r.value(QStringLiteral("MSFlexGrid1"));
    EXPECT_EQ(grid.left(), 20);
    EXPECT_EQ(grid.width(), 3750); // Int((5685 - 60) * 2 / 3)
    EXPECT_EQ(grid.height(), (5250 - grid.top()) / 2);
    EXPECT_EQ(r.value(QStringLiteral("List1")), QRect(3790, grid.top(), 1875, grid.height()));
    EXPECT_EQ(r.value(QStringLiteral("Label2")).left(), 4427); // Int((1875 - 600) / 2 + 3790)
    EXPECT_EQ(r.value(QStringLiteral("Label3")).left(), 1220); // Int(20 + (3750 - 1350) / 2)
    EXPECT_LT(r.value(QStringLiteral("Label3")).bottom(), grid.top());

    const QRect label4 = r.value(QStringLiteral("Label4"));
    EXPECT_EQ(label4.left(), 2392);
    EXPECT_EQ(label4.top(), grid.top() + grid.height() + 10);
    const QRect text = r.value(QStringLiteral("RichTextBox1"));
    EXPECT_EQ(text.left(), 20);
    EXPECT_EQ(text.top(), label4.top() + 270);
    EXPECT_EQ(text.width(), 5645);
    EXPECT_EQ(text.top() + text.height(), 5250 - 20);
}

TEST(userListLayout, GrowingKeepsTheUpperTopsAndGivesTheListsHalfOfTheRest)
{
    const UserListMetrics m = sampleMetrics();
    const auto small = userListLayout(5685, 5250, m);
    const auto large = userListLayout(9000, 9000, m);
    for (const char* name :
         {"Frame1", "Check1", "Command3", "Label1", "ProgressBar1", "Label3", "MSFlexGrid1"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(small.value(QString::fromLatin1(name)).top(),
                  large.value(QString::fromLatin1(name)).top());
    }
    const QRect grid = large.value(QStringLiteral("MSFlexGrid1"));
    EXPECT_EQ(grid.height(), (9000 - grid.top()) / 2);
    EXPECT_EQ(large.value(QStringLiteral("Command1")).left(), 5750); // Int(6750 - 2000 / 2)
    EXPECT_EQ(large.value(QStringLiteral("List1")).left() +
                  large.value(QStringLiteral("List1")).width(),
              9000 - 20);
}

TEST(userListLayout, PixelEdgesOfTouchingRectanglesStayTouching)
{
    // 20 twips = 1.33 px, 3790 twips = 252.67 px: sizes rounded on their own would
    // leave a gap or an overlap between the grid and the list.
    const QRect grid = twipsToPixels(QRect(20, 0, 3750, 100));
    const QRect beside = twipsToPixels(QRect(3770, 0, 1875, 100));
    EXPECT_EQ(grid.left() + grid.width(), beside.left());
    EXPECT_EQ(twipsToPixels(QRect(0, 0, 5685, 5250)), QRect(0, 0, 379, 350));
    EXPECT_EQ(twipsToPixels(QRect(100, 100, -500, 10)).width(), 0);
}

} // namespace
} // namespace velmar::ipmsg
