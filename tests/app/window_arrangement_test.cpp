#include "app/window_arrangement.h"

#include <gtest/gtest.h>

using namespace velmar::app;

namespace {

TEST(WindowArrangement, TilesShareTheAreaWithoutGapsOrOverlap)
{
    const QRect area(0, 0, 1000, 701);
    for (const Arrangement how : {Arrangement::TileHorizontal, Arrangement::TileVertical}) {
        for (int count = 1; count <= 7; ++count) {
            const QList<QRect> rects = tileRects(area, count, how);
            ASSERT_EQ(rects.size(), count);
            int covered = 0;
            for (int i = 0; i < count; ++i) {
                EXPECT_TRUE(area.contains(rects[i])) << count;
                covered += rects[i].width() * rects[i].height();
                if (i > 0) {
                    EXPECT_FALSE(rects[i].intersects(rects[i - 1]));
                }
            }
            EXPECT_EQ(covered, area.width() * area.height());
        }
    }
    EXPECT_EQ(tileRects(area, 2, Arrangement::TileHorizontal)[0], QRect(0, 0, 1000, 350));
    EXPECT_EQ(tileRects(area, 2, Arrangement::TileVertical)[1], QRect(500, 0, 500, 701));
    EXPECT_TRUE(tileRects(area, 0, Arrangement::TileVertical).isEmpty());
}

TEST(WindowArrangement, IconsLineUpAlongTheBottom)
{
    const QList<QRect> rects = iconRects(QRect(0, 0, 250, 400), 3, QSize(100, 30));
    ASSERT_EQ(rects.size(), 3);
    EXPECT_EQ(rects[0], QRect(0, 370, 100, 30));
    EXPECT_EQ(rects[1], QRect(100, 370, 100, 30));
    EXPECT_EQ(rects[2], QRect(0, 340, 100, 30));
}

} // namespace
