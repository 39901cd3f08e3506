// The editing view's part of the print road: the print and preview commands, the printer set-up
// from the document and the page count.

#include "view/drawview.h"

#include "document/drawdoc.h"
#include "framework/printinfo.h"
#include "framework/printjob.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/printpreview.h"
#include "framework/ui/uistrings.h"
#include "printing/sheetlayout.h"
#include "printing/tagprintdlg.h"

#include <QPrinter>

#include <algorithm>
#include <cstdint>

namespace {
constexpr UINT kFailedToPrint = 61445;
constexpr UINT kPrintedIncomplete = 686;
constexpr UINT kOpenedIncomplete = 687;

CString ListText(UINT id, const char* fallback, const CString& title, const QStringList& lines)
{
    CString text = AfxLoadString(id);
    if (text.isEmpty())
        text = QString::fromLatin1(fallback);
    return text.arg(title) + QStringLiteral("\n\n") + lines.join(u'\n');
}

void ReportUnprintable(const CDrawDoc* doc, const CString& cause = {})
{
    CString text = AfxLoadString(kFailedToPrint);
    if (text.isEmpty())
        text = QStringLiteral("%1 could not be printed.");
    text = text.arg(doc->GetTitle());
    if (!cause.isEmpty())
        text += QStringLiteral("\n\n") + cause;
    AfxMessageBox(text, MB_OK | MB_ICONERROR);
}

// A sheet no printer can take is refused with the text of a layout that does not fit.
void ReportUnprintableSheet()
{
    AfxMessageBox(UnprintableSheetText(), MB_OK | MB_ICONERROR);
}
}  // namespace

CString PrintedIncompleteText(const CString& title, const QStringList& omitted)
{
    return ListText(kPrintedIncomplete, "%1 was printed without everything it holds:", title, omitted);
}

CString OpenedIncompleteText(const CString& title, const QStringList& problems)
{
    return ListText(kOpenedIncomplete, "Not everything in %1 can be shown:", title, problems);
}

BOOL CDrawView::CanPrintSheet() const
{
    CDrawDoc* doc = GetDocument();
    return doc && doc->IsPrintableSheet();
}

void CDrawView::OnFilePrint()
{
    CDrawDoc* doc = GetDocument();
    if (!doc)
        return;
    if (!CanPrintSheet()) {
        ReportUnprintableSheet();
        return;
    }
    CPrintInfo info;
    // A job the user called off says nothing; one that was started and failed says why, and
    // one printed without everything says what it left out.
    if (!AfxPrintJob(this, AfxGetAppPrinter(), &info)) {
        if (!info.m_strError.isEmpty())
            ReportUnprintable(doc, info.m_strError);
    } else if (!info.m_omitted.isEmpty()) {
        AfxMessageBox(PrintedIncompleteText(doc->GetTitle(), info.m_omitted), MB_OK | MB_ICONWARNING);
    }
}

void CDrawView::OnFilePrintPreview()
{
    CDrawDoc* doc = GetDocument();
    QPrinter* printer = AfxGetAppPrinter();
    if (!doc || !printer)
        return;
    if (!CanPrintSheet()) {
        ReportUnprintableSheet();
        return;
    }
    {
        CTagPreviewDlg dialog(doc, window());
        dialog.SetLabelCount(m_nLabelsToPrint);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    m_nLabelsToPrint = doc->GetLabelsToPrint();

    CPrintInfo info;
    info.m_bPreview = TRUE;
    if (!OnPreparePrinting(&info))
        return;
    // The preview draws at the printer's resolution: the document's zoom reads 100 meanwhile.
    doc->SetInPrintPreview(TRUE);
    int result = 0;
    {
        CPrintPreviewWindow preview(this, printer, info, window());
        preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
        result = preview.exec();
    }
    doc->SetInPrintPreview(FALSE);
    if (result == CPrintPreviewWindow::kPrintRequested)
        OnFilePrint();
}

BOOL CDrawView::OnPreparePrinting(CPrintInfo* info)
{
    CDrawDoc* doc = GetDocument();
    if (!doc || !info || !CanPrintSheet())
        return FALSE;
    QPrinter* printer = AfxGetAppPrinter();

    // The printer takes the document's paper and orientation.
    UseDocumentPaper(printer, doc);

    if (info->m_bPreview) {
        info->m_bDirect = TRUE;
    } else if (!info->m_bDirect) {
        CTagPrintDlg dialog(doc, printer, window());
        dialog.SetLabelCount(m_nLabelsToPrint);
        if (dialog.exec() != QDialog::Accepted)
            return FALSE;
        m_nLabelsToPrint = dialog.GetLabelCount();
        if (dialog.printRange() == QAbstractPrintDialog::PageRange)
            info->SetPageRange(UINT(std::max(dialog.fromPage(), 1)), UINT(std::max(dialog.toPage(), 1)));
    }

    m_nPrintedLabels = doc->GetLabelsToPrint();
    const int* grid = doc->GetLabelGrid();
    const std::int64_t sheets = SheetPageCount(m_nPrintedLabels, grid[0], grid[1], !doc->GetSelectTags().empty());
    const UINT pages = UINT(std::clamp<std::int64_t>(sheets, 0, CPrintInfo::kMaxPages));
    info->SetMaxPage(pages);
    info->SetPageRange(std::max(info->GetFromPage(), 1u), std::min(info->GetToPage(), pages));
    return pages > 0 ? TRUE : FALSE;
}

void CDrawView::OnBeginPrinting(CDC*, CPrintInfo* info)
{
    if (CDrawDoc* doc = GetDocument()) {
        doc->ResetPrinting();
        // Records are chosen in the print and preview dialogs; a job without them (the command
        // line, a print handed over by the shell) prints the stored texts.
        if (info && (info->m_bPreview || !info->m_bDirect))
            doc->BeginPrintRecords();
        else
            doc->EndPrintRecords();
    }
}

void CDrawView::OnEndPrinting(CDC*, CPrintInfo*)
{
    if (CDrawDoc* doc = GetDocument())
        doc->EndPrintRecords();
}

void CDrawView::OnPrepareDC(CDC* dc, CPrintInfo*)
{
    OnPrepareDC(dc);
}
