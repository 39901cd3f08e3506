// Numbers typed by users: the leading number, else 0, whatever the locale.

#include "framework/textnumbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

TEST(TextNumbers, LeadingNumberElseZero)
{
    // A locale with a decimal comma changes nothing.
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_DOUBLE_EQ(Wtof("0.25"), 0.25);
    EXPECT_DOUBLE_EQ(Wtof("  12.5mm"), 12.5);
    EXPECT_DOUBLE_EQ(Wtof("+3"), 3.0);
    EXPECT_DOUBLE_EQ(Wtof("-1e2"), -100.0);
    EXPECT_DOUBLE_EQ(Wtof("abc"), 0.0);
    EXPECT_DOUBLE_EQ(Wtof(""), 0.0);
    EXPECT_DOUBLE_EQ(Wtof("1,5"), 1.0);
    EXPECT_TRUE(std::isnan(Wtof("nan")));
    EXPECT_TRUE(std::isinf(Wtof("inf")));
    EXPECT_TRUE(std::isinf(Wtof("1e999")));
    EXPECT_DOUBLE_EQ(Wtof("1e-999"), 0.0);
    std::setlocale(LC_NUMERIC, "C");

    EXPECT_EQ(Wtoi("300"), 300);
    EXPECT_EQ(Wtoi(" -15dpi"), -15);
    EXPECT_EQ(Wtoi("12.9"), 12);
    EXPECT_EQ(Wtoi("x1"), 0);
    EXPECT_EQ(Wtoi("99999999999"), 2147483647);
    EXPECT_EQ(Wtoi("-99999999999"), -2147483647 - 1);
}
