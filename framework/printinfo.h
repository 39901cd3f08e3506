#pragma once
// What the printing loop and a view tell each other about a print job and the page being
// printed.

#include "framework/geometry.h"
#include "framework/types.h"

#include <QStringList>

struct CPrintInfo {
    static constexpr UINT kMaxPages = 0xFFFF;

    UINT m_nCurPage = 1;             // counted from 1
    BOOL m_bPreview = FALSE;         // a print preview draws the pages
    BOOL m_bDirect = FALSE;          // no print dialog: the printer's set-up as it stands
    BOOL m_bContinuePrinting = TRUE; // a view ends the job early by clearing it
    CRect m_rectDraw;                // the printable area of the page, in device pixels
    CString m_strError;              // why a job that was started failed; empty otherwise
    QStringList m_omitted;           // what the pages printed left out (pictures that did not load)

    // The pages the job may have (the count is the last of them) and the range asked for.
    UINT GetMinPage() const { return m_nMinPage; }
    UINT GetMaxPage() const { return m_nMaxPage; }
    void SetMinPage(UINT page) { m_nMinPage = page; }
    void SetMaxPage(UINT page) { m_nMaxPage = page; }
    UINT GetFromPage() const { return m_nFromPage; }
    UINT GetToPage() const { return m_nToPage; }
    void SetPageRange(UINT from, UINT to)
    {
        m_nFromPage = from;
        m_nToPage = to;
    }

private:
    UINT m_nMinPage = 1;
    UINT m_nMaxPage = kMaxPages;
    UINT m_nFromPage = 1;
    UINT m_nToPage = kMaxPages;
};
