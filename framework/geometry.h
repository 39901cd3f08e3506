#pragma once
// Points, sizes and rectangles with 32-bit coordinates. A rectangle's right and bottom edges are
// exclusive, and a rectangle may be unnormalised (left > right or top > bottom); operations that
// need an ordered rectangle say so.

#include "framework/types.h"

#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>

struct CSize;

// A value brought into the range of a 32-bit coordinate (NaN becomes 0, fractions are truncated),
// for arithmetic on values that come from files and may be anything.
template <std::integral T>
constexpr int SaturateInt(T v)
{
    if constexpr (std::is_unsigned_v<T>)
        return v > T(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(v);
    else
        return int(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max()));
}
// The size of a 32-bit value: |INT_MIN| is brought to INT_MAX instead of overflowing.
constexpr int SaturatedAbs(std::int64_t v)
{
    return SaturateInt(v < 0 ? -v : v);
}
inline int SaturateInt(double v)
{
    if (std::isnan(v))
        return 0;
    return int(std::clamp(v, double(std::numeric_limits<int>::min()),
                          double(std::numeric_limits<int>::max())));
}

struct CPoint {
    LONG x = 0;
    LONG y = 0;

    constexpr CPoint() = default;
    constexpr CPoint(LONG px, LONG py) : x(px), y(py) {}

    void Offset(LONG dx, LONG dy) { x += dx; y += dy; }
    void Offset(const CPoint& p) { Offset(p.x, p.y); }
    void SetPoint(LONG px, LONG py) { x = px; y = py; }

    CPoint& operator+=(const CPoint& p) { Offset(p.x, p.y); return *this; }
    CPoint& operator-=(const CPoint& p) { Offset(-p.x, -p.y); return *this; }
    CPoint& operator+=(const CSize& s);
    CPoint& operator-=(const CSize& s);
    friend constexpr bool operator==(const CPoint&, const CPoint&) = default;
    friend CPoint operator+(CPoint a, const CPoint& b) { return a += b; }
    friend CPoint operator-(CPoint a, const CPoint& b) { return a -= b; }
    friend CPoint operator+(CPoint a, const CSize& b);
    friend CPoint operator-(CPoint a, const CSize& b);
    CPoint operator-() const { return CPoint(-x, -y); }
};

struct CSize {
    LONG cx = 0;
    LONG cy = 0;

    constexpr CSize() = default;
    constexpr CSize(LONG w, LONG h) : cx(w), cy(h) {}

    CSize& operator+=(const CSize& s) { cx += s.cx; cy += s.cy; return *this; }
    CSize& operator-=(const CSize& s) { cx -= s.cx; cy -= s.cy; return *this; }
    friend constexpr bool operator==(const CSize&, const CSize&) = default;
    friend CSize operator+(CSize a, const CSize& b) { return a += b; }
    friend CSize operator-(CSize a, const CSize& b) { return a -= b; }
};

inline CPoint& CPoint::operator+=(const CSize& s) { Offset(s.cx, s.cy); return *this; }
inline CPoint& CPoint::operator-=(const CSize& s) { Offset(-s.cx, -s.cy); return *this; }
inline CPoint operator+(CPoint a, const CSize& b) { return a += b; }
inline CPoint operator-(CPoint a, const CSize& b) { return a -= b; }

struct CRect {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(LONG l, LONG t, LONG r, LONG b) : left(l), top(t), right(r), bottom(b) {}
    constexpr CRect(const CPoint& topLeft, const CSize& size)
        : left(topLeft.x), top(topLeft.y), right(topLeft.x + size.cx), bottom(topLeft.y + size.cy) {}
    constexpr CRect(const CPoint& topLeft, const CPoint& bottomRight)
        : left(topLeft.x), top(topLeft.y), right(bottomRight.x), bottom(bottomRight.y) {}

    // Negative for an unnormalised rectangle; an extent beyond 32 bits (a stored rectangle may
    // span the whole coordinate range) saturates.
    LONG Width() const { return SaturateInt(std::int64_t(right) - left); }
    LONG Height() const { return SaturateInt(std::int64_t(bottom) - top); }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }

    // Empty when it has no area: width or height zero or negative.
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    // Left and top inclusive, right and bottom exclusive; never true for an unnormalised rectangle.
    bool PtInRect(const CPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

    void SetRect(LONG l, LONG t, LONG r, LONG b) { left = l; top = t; right = r; bottom = b; }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void NormalizeRect();
    void OffsetRect(LONG dx, LONG dy) { left += dx; right += dx; top += dy; bottom += dy; }
    void OffsetRect(const CPoint& p) { OffsetRect(p.x, p.y); }
    void OffsetRect(const CSize& s) { OffsetRect(s.cx, s.cy); }
    void InflateRect(LONG dx, LONG dy) { left -= dx; top -= dy; right += dx; bottom += dy; }
    void InflateRect(const CSize& s) { InflateRect(s.cx, s.cy); }
    void InflateRect(LONG l, LONG t, LONG r, LONG b) { left -= l; top -= t; right += r; bottom += b; }
    void DeflateRect(LONG dx, LONG dy) { InflateRect(-dx, -dy); }
    // The overlap of two rectangles; when they do not overlap (or either is empty) the result is
    // (0,0,0,0) and the answer false.
    bool IntersectRect(const CRect& a, const CRect& b);
    // The smallest rectangle holding both; empty rectangles are ignored.
    bool UnionRect(const CRect& a, const CRect& b);

    CRect& operator+=(const CPoint& p) { OffsetRect(p); return *this; }
    CRect& operator-=(const CPoint& p) { OffsetRect(-p.x, -p.y); return *this; }
    friend constexpr bool operator==(const CRect&, const CRect&) = default;
};

// a * b / c computed in 64 bits and rounded half away from zero; -1 when c is 0 or the result does
// not fit in 32 bits.
int MulDiv(int a, int b, int c);

