#pragma once
// What the printing loop tells a view about the page being printed.

#include "framework/geometry.h"
#include "framework/types.h"

struct CPrintInfo {
    UINT m_nCurPage = 1;       // counted from 1
    BOOL m_bPreview = FALSE;   // a print preview draws the page
    CRect m_rectDraw;          // the printable area of the page, in device pixels
};
