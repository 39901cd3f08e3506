#include "framework/printjob.h"

#include "framework/document.h"
#include "framework/painterdc.h"
#include "framework/printinfo.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace {
QPrinter* g_printer = nullptr;
}  // namespace

QPrinter* AfxGetAppPrinter()
{
    return g_printer;
}

void AfxSetAppPrinter(QPrinter* printer)
{
    g_printer = printer;
}

void AfxSetPrinterPaper(QPrinter* printer, int paperCode, int width, int height, int orientation)
{
    if (!printer)
        return;
    const bool landscape = orientation == 2;
    const QPageSize::PageSizeId id = QPageSize::id(paperCode);
    if (id != QPageSize::Custom) {
        printer->setPageSize(QPageSize(id));
        printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        return;
    }
    if (width <= 0 || height <= 0) {
        printer->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        return;
    }
    // The page measures the stored width × height: the portrait form of the size, turned when
    // the stored paper is wider than tall.
    const QSizeF portrait(std::min(width, height) / 10.0, std::max(width, height) / 10.0);
    printer->setPageSize(QPageSize(portrait, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    printer->setPageOrientation(width > height ? QPageLayout::Landscape : QPageLayout::Portrait);
}

BOOL AfxPrintJob(CView* view, QPrinter* printer, CPrintInfo* info)
{
    if (!view || !printer || !info)
        return FALSE;
    if (!view->OnPreparePrinting(info))
        return FALSE;
    return AfxPrintPages(view, printer, info);
}

BOOL AfxPrintPages(CView* view, QPrinter* printer, CPrintInfo* info)
{
    if (!view || !printer || !info)
        return FALSE;
    const UINT first = std::max({info->GetFromPage(), info->GetMinPage(), 1u});
    const UINT last = std::min(info->GetToPage(), info->GetMaxPage());
    if (first > last)
        return FALSE;

    CPainterDC dc(printer, true);
    if (!dc.Painter() || !dc.Painter()->isActive())
        return FALSE;
    info->m_rectDraw = CRect(0, 0, dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES));
    info->m_bContinuePrinting = TRUE;
    view->OnBeginPrinting(&dc, info);

    // Copies the print system makes are its own; otherwise the job repeats.
    const int copies = printer->supportsMultipleCopies() ? 1 : std::max(1, printer->copyCount());
    bool firstPage = true;
    for (int copy = 0; copy < copies && info->m_bContinuePrinting; ++copy) {
        for (UINT page = first; page <= last && info->m_bContinuePrinting; ++page) {
            if (!firstPage && !printer->newPage())
                info->m_bContinuePrinting = FALSE;
            firstPage = false;
            info->m_nCurPage = page;
            view->OnPrepareDC(&dc, info);
            if (!info->m_bContinuePrinting)
                break;
            view->OnPrint(&dc, info);
        }
    }
    view->OnEndPrinting(&dc, info);
    return dc.Painter()->end() ? TRUE : FALSE;
}
