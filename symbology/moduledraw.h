#pragma once
// Painting a 2-D symbol: every horizontal run of dark modules is one black rectangle; light
// modules stay unpainted, so whatever lies beneath shows through them.

#include "framework/geometry.h"

#include <functional>

class CDC;

// Paints rows x columns modules from (left, top); module (x, y) is moduleWidth wide and
// rowHeight high and dark when dark(x, y) says so.
void PaintDarkRuns(CDC* pDC, int left, int top, int moduleWidth, int rowHeight, int columns,
                   int rows, const std::function<bool(int x, int y)>& dark);
