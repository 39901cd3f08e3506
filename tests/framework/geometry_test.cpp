#include "framework/geometry.h"

#include <gtest/gtest.h>

TEST(Rect, UnnormalisedAndEdgeRules)
{
    // Unnormalised rectangles keep their order until asked, and are empty meanwhile.
    CRect r(100, 50, 10, 5);
    EXPECT_EQ(r.Width(), -90);
    EXPECT_TRUE(r.IsRectEmpty());
    EXPECT_FALSE(r.PtInRect(CPoint(50, 20)));
    r.NormalizeRect();
    EXPECT_EQ(r, CRect(10, 5, 100, 50));
    EXPECT_TRUE(r.PtInRect(CPoint(50, 20)));

    // Right and bottom edges are exclusive.
    const CRect square(0, 0, 10, 10);
    EXPECT_TRUE(square.PtInRect(CPoint(9, 9)));
    EXPECT_FALSE(square.PtInRect(CPoint(10, 5)));
    EXPECT_FALSE(square.PtInRect(CPoint(5, 10)));
    CRect out;
    EXPECT_FALSE(out.IntersectRect(square, CRect(10, 0, 20, 10)));  // touching only
    EXPECT_TRUE(out.IsRectNull());
    EXPECT_TRUE(out.IntersectRect(square, CRect(9, 9, 20, 20)));
    EXPECT_EQ(out, CRect(9, 9, 10, 10));
    EXPECT_FALSE(out.IntersectRect(CRect(10, 10, 0, 0), square));

    // The centre halves toward zero.
    EXPECT_EQ(CRect(0, 0, 5, 7).CenterPoint(), CPoint(2, 3));
    EXPECT_EQ(CRect(-5, -7, 0, 0).CenterPoint(), CPoint(-2, -3));
}

TEST(MulDiv, RoundsHalfAwayFromZeroAndReportsOverflow)
{
    EXPECT_EQ(MulDiv(12, 1536, 72), 256);
    EXPECT_EQ(MulDiv(1, 1, 2), 1);
    EXPECT_EQ(MulDiv(1, 1, -2), -1);
    EXPECT_EQ(MulDiv(5, 1, 3), 2);
    EXPECT_EQ(MulDiv(7, 3, 0), -1);
    EXPECT_EQ(MulDiv(0x40000000, 4, 1), -1);
    EXPECT_EQ(MulDiv(2000000000, 2000000000, 2000000000), 2000000000);  // 64-bit intermediate
}

TEST(SaturateInt, KeepsValuesFromFilesInsideTheCoordinateRange)
{
    EXPECT_EQ(SaturateInt(std::int64_t(1) << 40), 2147483647);
    EXPECT_EQ(SaturateInt(-(std::int64_t(1) << 40)), -2147483647 - 1);
    EXPECT_EQ(SaturateInt(~0ull), 2147483647);
    EXPECT_EQ(SaturateInt(1e300), 2147483647);
    EXPECT_EQ(SaturateInt(std::nan("")), 0);
    EXPECT_EQ(SaturateInt(-2.9), -2);  // truncated toward zero, like a cast
}
