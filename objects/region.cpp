#include "objects/region.h"

#include <algorithm>
#include <cmath>

namespace {

// The pixel centres covered by a rectangle, as a closed range; false when it covers none.
bool CentreRange(CRect r, double& x0, double& y0, double& x1, double& y1)
{
    r.NormalizeRect();
    if (r.IsRectEmpty())
        return false;
    x0 = r.left + 0.5;
    y0 = r.top + 0.5;
    x1 = r.right - 0.5;
    y1 = r.bottom - 0.5;
    return true;
}

// The pixel centre in [lo, hi] closest to the interval [a, b].
double ClosestCentre(double lo, double hi, double a, double b)
{
    if (hi < a)
        return hi;
    if (lo > b)
        return lo;
    // The ranges meet: the first centre at or after a lies in [a, b] or just beyond b.
    const double c = std::min(lo + std::ceil(std::max(a - lo, 0.0)), hi);
    if (c >= a && c <= b)
        return c;
    const double before = std::max(c - 1.0, lo);
    return std::abs(a - before) <= std::abs(c - b) ? before : c;
}

bool PointInPolygon(const CPoint* p, int n, double x, double y)
{
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const double xi = p[i].x, yi = p[i].y, xj = p[j].x, yj = p[j].y;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

bool SegmentsCross(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                   double dy)
{
    auto cross = [](double ox, double oy, double px, double py, double qx, double qy) {
        return (px - ox) * (qy - oy) - (py - oy) * (qx - ox);
    };
    const double d1 = cross(cx, cy, dx, dy, ax, ay);
    const double d2 = cross(cx, cy, dx, dy, bx, by);
    const double d3 = cross(ax, ay, bx, by, cx, cy);
    const double d4 = cross(ax, ay, bx, by, dx, dy);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0
        && d4 != 0;
}

}  // namespace

bool RectInRoundRect(const CRect& boxIn, CPoint corner, const CRect& rect)
{
    CRect box = boxIn;
    box.NormalizeRect();
    double x0, y0, x1, y1;
    if (box.IsRectEmpty() || !CentreRange(rect, x0, y0, x1, y1))
        return false;
    // Corner radii, no larger than half the box.
    const double a = std::min(std::abs(corner.x) / 2.0, box.Width() / 2.0);
    const double b = std::min(std::abs(corner.y) / 2.0, box.Height() / 2.0);
    // The inner rectangle, whose points are inside at any distance up to the radii.
    const double il = box.left + a, ir = box.right - a, it = box.top + b, ib = box.bottom - b;
    const double x = ClosestCentre(x0, x1, il, ir);
    const double y = ClosestCentre(y0, y1, it, ib);
    if (x < box.left || x > box.right || y < box.top || y > box.bottom)
        return false;
    const double dx = x < il ? il - x : (x > ir ? x - ir : 0.0);
    const double dy = y < it ? it - y : (y > ib ? y - ib : 0.0);
    if (dx == 0.0 && dy == 0.0)
        return true;
    if (a == 0.0 || b == 0.0)
        return (a == 0.0 ? dx == 0.0 : true) && (b == 0.0 ? dy == 0.0 : true);
    return (dx / a) * (dx / a) + (dy / b) * (dy / b) <= 1.0;
}

bool RectInEllipse(const CRect& box, const CRect& rect)
{
    CRect b = box;
    b.NormalizeRect();
    return RectInRoundRect(b, CPoint(b.Width(), b.Height()), rect);
}

bool RectInPolygon(const CPoint* p, int n, const CRect& rect)
{
    double x0, y0, x1, y1;
    if (n < 3 || !CentreRange(rect, x0, y0, x1, y1))
        return false;
    // A corner of the rectangle's pixel centres inside the polygon.
    for (double x : {x0, x1})
        for (double y : {y0, y1})
            if (PointInPolygon(p, n, x, y))
                return true;
    // A vertex of the polygon inside the rectangle.
    for (int i = 0; i < n; ++i)
        if (p[i].x > x0 && p[i].x < x1 && p[i].y > y0 && p[i].y < y1)
            return true;
    // An edge of the polygon crossing an edge of the rectangle.
    const double rx[4] = {x0, x1, x1, x0}, ry[4] = {y0, y0, y1, y1};
    for (int i = 0, j = n - 1; i < n; j = i++)
        for (int k = 0; k < 4; ++k)
            if (SegmentsCross(p[j].x, p[j].y, p[i].x, p[i].y, rx[k], ry[k], rx[(k + 1) % 4],
                              ry[(k + 1) % 4]))
                return true;
    return false;
}
