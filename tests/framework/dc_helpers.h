#pragma once
// Settings shared by the device-context tests.

#include "framework/dc.h"

// The editing view's mapping: 1536 logical units per inch, 96 pixels per inch.
inline void SetInchMapping(CDC& dc, CPoint viewportOrigin = CPoint())
{
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowExt(1536, 1536);
    dc.SetViewportExt(96, 96);
    dc.SetViewportOrg(viewportOrigin);
}

inline LOGFONTW Font(LONG height, LONG width = 0, LONG escapement = 0)
{
    LOGFONTW lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfWeight = FW_NORMAL;
    SetFaceName(lf, QStringLiteral("Arial"));
    return lf;
}
