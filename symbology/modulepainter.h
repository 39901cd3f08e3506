#pragma once
// Painting a symbol's module matrix: one black rectangle per horizontal run of dark modules,
// light modules left unpainted, so that whatever lies under the symbol shows through them.

#include "framework/geometry.h"

#include <functional>

class CDC;

// Module (row, column) covers [left + x(column), left + x(column + 1)) by
// [top + y(row), top + y(row + 1)), where x(c) = c * width / columns and y(r) = r * height / rows:
// a symbol stretched over width x height units, exact when width and height are multiples.
void PaintModuleRuns(CDC* pDC, int left, int top, int width, int height, int rows, int columns,
                     const std::function<bool(int row, int column)>& isDark);
