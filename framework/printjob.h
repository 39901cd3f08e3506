#pragma once
// The print road shared by the print command, the print preview, the command line and the
// print benchmark: the view prepares the job (OnPreparePrinting), then, on one painter over the
// printer, OnBeginPrinting, each page of the range (OnPrepareDC, OnPrint, a new page between
// pages), OnEndPrinting. There is no progress window.
//
// The application keeps one printer set-up; the road and the views reach it here.

#include "framework/types.h"

#include <QPageLayout>

class CView;
struct CPrintInfo;
class QPrinter;

// The application's printer (not owned); null until the application installs one.
QPrinter* AfxGetAppPrinter();
void AfxSetAppPrinter(QPrinter* printer);
// The print queue offered first: the application printer's (as Print Setup left it) while the
// print server still has it, else the server's default; empty without queues.
CString AfxGetAppPrinterName();

// Paper and orientation of a printer from a Windows paper code (9 A4, 1 Letter, 256 custom),
// the paper's stored size in tenths of a millimetre and an orientation (1 portrait,
// 2 landscape). A code that Qt knows gives its standard size turned by the orientation. Any
// other code gives a page of exactly the stored width × height: the stored size of a custom
// paper is already turned, so it is not turned again. A custom paper without a size keeps the
// printer's page size.
// The page is the print queue's own paper when the queue has one of that size, so that the job
// names a paper the driver knows: for a code that Qt knows, the queue's paper of that kind (or of
// its size); for any other code, one whose size is the stored width × height within a
// millimetre, upright or turned. Only a size the queue does not offer goes out as a custom size.
void AfxSetPrinterPaper(QPrinter* printer, int paperCode, int width, int height, int orientation);
// The page AfxSetPrinterPaper gives a printer that prints on the named queue (an empty name: into
// a file), from the page it has now: the paper and orientation change, the rest stays.
QPageLayout AfxPrinterPaperLayout(const QString& queue, const QPageLayout& current, int paperCode, int width,
                                  int height, int orientation);

// The whole road: OnPreparePrinting, then AfxPrintPages. FALSE when the view ended the job or
// nothing could be printed.
BOOL AfxPrintJob(CView* view, QPrinter* printer, CPrintInfo* info);
// The pages of a prepared job: the range asked for, clipped to the job's page count, once for
// each copy the print system does not make itself. FALSE when the printer could not be painted
// on (nothing of the job is then written) or the job's file could not be written, with the
// cause in info->m_strError. A job printed to a file (not a preview) goes to the program's file
// writer as it is painted, so a failure leaves an existing file as it was and a long job never
// waits in memory. What the pages could not show (CDC::ReportOmission) is in info->m_omitted: the
// job is then printed, and its caller tells the user that it is not complete.
BOOL AfxPrintPages(CView* view, QPrinter* printer, CPrintInfo* info);
