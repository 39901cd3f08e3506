#pragma once
// Overlap tests of a rectangle with the regions that shapes cover. Regions are sets of whole
// pixels of logical space: a pixel belongs to a shape when its centre lies inside the shape's
// outline, as the platform's regions built from the same outlines do. The tested rectangle is
// normalised and covers its pixels from left/top up to, not including, right/bottom.

#include "framework/geometry.h"

// The rounded rectangle inside `box` (normalised) whose corners are quarter ellipses of width
// and height `corner`; a corner as large as the box gives the inscribed ellipse.
bool RectInRoundRect(const CRect& box, CPoint corner, const CRect& rect);
bool RectInEllipse(const CRect& box, const CRect& rect);
// A polygon under the even-odd rule.
bool RectInPolygon(const CPoint* points, int count, const CRect& rect);
