#include "app/window_arrangement.h"

#include <gtest/gtest.h>

using namespace velmar::app;

namespace {

TEST(WindowArrangement, TilesShareTheAreaWithoutGapsOrOverlap)
{
    const QRect area(0, 0, 1000, 701);
    for (const Arrangement how : {Arrangement::TileHorizontal, Arrangement::TileVertical}) {
        // Five tiles of the minimum size fit either way.
        for (int count = 1; count <= 5; ++count) {
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

// However many windows there are, none gets smaller than the minimum: tiles past
// what fits form cascaded groups, and a cascade starts again at the corner.
TEST(WindowArrangement, ManyWindowsKeepAUsableSize)
{
    const QRect area(0, 0, 1000, 701);
    const QSize minimum = MinimumArrangedSize;
    for (const Arrangement how :
         {Arrangement::TileHorizontal, Arrangement::TileVertical, Arrangement::Cascade}) {
        for (const int count : {6, 12, 40, 300}) {
            SCOPED_TRACE(count);
            const QList<QRect> rects = how == Arrangement::Cascade ? cascadeRects(area, count)
                                                                   : tileRects(area, count, how);
            ASSERT_EQ(rects.size(), count);
            for (const QRect& rect : rects) {
                EXPECT_TRUE(area.contains(rect));
                EXPECT_GE(rect.width(), minimum.width());
                EXPECT_GE(rect.height(), minimum.height());
            }
            // Windows next to each other in a group never overlap; the groups differ
            // by a cascade step, so no window hides another exactly.
            if (how != Arrangement::Cascade) {
                EXPECT_FALSE(rects[0].intersects(rects[1]));
                EXPECT_NE(rects.last(), rects.first());
            }
        }
    }
    // Vertical tiles of 1000 pixels fit five abreast; six make two groups of four
    // columns in 976 pixels, the second (two columns) one step down and right.
    const QList<QRect> six = tileRects(area, 6, Arrangement::TileVertical);
    EXPECT_EQ(six[3], QRect(732, 0, 244, 677));
    EXPECT_EQ(six[4], QRect(CascadeStep, CascadeStep, 488, 677));
    // A cascade of three is the usual fan; the minimum only caps a long one.
    const QList<QRect> three = cascadeRects(area, 3);
    EXPECT_EQ(three[2], QRect(48, 48, 952, 653));
    EXPECT_EQ(cascadeRects(QRect(0, 0, 300, 200), 10)[4], QRect(0, 0, 228, 128));
    // An area smaller than the minimum still gets every window, filling it.
    EXPECT_EQ(cascadeRects(QRect(0, 0, 100, 80), 2)[1], QRect(0, 0, 100, 80));
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
