#include "framework/printjob.h"

#include "framework/document.h"
#include "framework/painterdc.h"
#include "framework/printinfo.h"
#include "framework/savefile.h"
#include "framework/resourcemodule.h"

#include <QCoreApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <optional>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {
QPrinter* g_printer = nullptr;

// Sends a printer's file output through a pipe to the file writer for the length of a job: a
// thread of its own takes the bytes as the printer makes them and writes them on, every write
// checked, so that the job never waits in memory whatever its length. The printer writes its
// file without reporting failed writes, so it never writes the user's file itself.
class FileOutputStream {
public:
    explicit FileOutputStream(QPrinter* printer)
        : m_printer(printer), m_target(printer->outputFileName()), m_file(m_target)
    {
    }
    ~FileOutputStream()
    {
        Finish();
        m_file.Abandon();
    }
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;

    bool Begin(QString& error)
    {
        if (!m_file.Open(error))
            return false;
        if (::pipe2(m_pipe, O_CLOEXEC) != 0)
            return error = SystemErrorText(errno), false;
        m_reader = std::thread([this] { Drain(); });
        m_printer->setOutputFileName(QStringLiteral("/proc/self/fd/%1").arg(m_pipe[1]));
        return true;
    }

    // The printer has opened its own end of the pipe: once it closes it, the job has ended.
    void PrinterStarted() { ClosePipe(1); }

    // After the painter has ended: the job's bytes to the target.
    bool Commit(QString& error)
    {
        Finish();
        if (m_readError != 0)
            return error = SystemErrorText(m_readError), false;
        if (m_file.Size() == 0 && !m_file.HasFailed())
            return error = LoadMessage(488, "no page was made"), false;
        return m_file.Commit(error);
    }

private:
    // Reads the pipe to its end. After a failed write the rest is still read (and dropped), so
    // that the printer never waits on a full pipe; the writer keeps the cause.
    void Drain()
    {
        QByteArray buffer(1 << 16, Qt::Uninitialized);
        for (;;) {
            const ssize_t n = ::read(m_pipe[0], buffer.data(), size_t(buffer.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                m_readError = errno;
            if (n <= 0)
                break;
            m_file.Write(buffer.constData(), n);
        }
    }

    void ClosePipe(int end)
    {
        if (m_pipe[end] >= 0)
            ::close(m_pipe[end]);
        m_pipe[end] = -1;
    }

    void Finish()
    {
        if (m_printer->outputFileName() != m_target)
            m_printer->setOutputFileName(m_target);
        ClosePipe(1);
        if (m_reader.joinable())
            m_reader.join();
        ClosePipe(0);
    }

    QPrinter* m_printer;
    QString m_target;
    CSaveFile m_file;
    int m_pipe[2] = {-1, -1};
    int m_readError = 0;
    std::thread m_reader;
};
// One of a printer's papers and the orientation that makes its page the size asked for.
struct CPrinterPaper {
    QPageSize size;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
};

// The paper among a queue's own for a paper code, stored size and orientation as
// AfxSetPrinterPaper takes them; nothing when the queue has no such paper.
std::optional<CPrinterPaper> FindPrinterPaper(const QList<QPageSize>& papers, int paperCode, int width, int height,
                                              int orientation)
{
    const bool landscape = orientation == 2;
    const QPageSize::PageSizeId id = QPageSize::id(paperCode);
    QSizeF wanted;  // millimetres, as the page should measure
    if (id != QPageSize::Custom) {
        for (const QPageSize& paper : papers)
            if (paper.isValid() && paper.id() == id)
                return CPrinterPaper {paper, landscape ? QPageLayout::Landscape : QPageLayout::Portrait};
        wanted = QPageSize(id).size(QPageSize::Millimeter);
        if (landscape)
            wanted.transpose();
    } else {
        if (width <= 0 || height <= 0)
            return std::nullopt;
        wanted = QSizeF(width / 10.0, height / 10.0);
    }
    constexpr double kTolerance = 1.0;
    const auto near = [](const QSizeF& a, const QSizeF& b) {
        return std::abs(a.width() - b.width()) <= kTolerance && std::abs(a.height() - b.height()) <= kTolerance;
    };
    // A paper upright as asked is taken before one that has to be turned.
    for (const QPageLayout::Orientation turn : {QPageLayout::Portrait, QPageLayout::Landscape}) {
        for (const QPageSize& paper : papers) {
            if (!paper.isValid())
                continue;
            QSizeF size = paper.size(QPageSize::Millimeter);
            if (turn == QPageLayout::Landscape)
                size.transpose();
            if (near(size, wanted))
                return CPrinterPaper {paper, turn};
        }
    }
    return std::nullopt;
}
}  // namespace

QPrinter* AfxGetAppPrinter()
{
    return g_printer;
}

void AfxSetAppPrinter(QPrinter* printer)
{
    g_printer = printer;
}

QPageLayout AfxPrinterPaperLayout(const QString& queue, const QPageLayout& current, int paperCode, int width,
                                  int height, int orientation)
{
    QPageLayout page = current;
    // A queue's own paper, when it has one of that size.
    if (!queue.isEmpty()) {
        const QList<QPageSize> papers = QPrinterInfo::printerInfo(queue).supportedPageSizes();
        if (const auto paper = FindPrinterPaper(papers, paperCode, width, height, orientation)) {
            page.setPageSize(paper->size);
            page.setOrientation(paper->orientation);
            return page;
        }
    }
    const bool landscape = orientation == 2;
    const QPageSize::PageSizeId id = QPageSize::id(paperCode);
    if (id != QPageSize::Custom) {
        page.setPageSize(QPageSize(id));
        page.setOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        return page;
    }
    if (width <= 0 || height <= 0) {
        page.setOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        return page;
    }
    // The page measures the stored width × height: the portrait form of the size, turned when
    // the stored paper is wider than tall.
    const QSizeF portrait(std::min(width, height) / 10.0, std::max(width, height) / 10.0);
    page.setPageSize(QPageSize(portrait, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    page.setOrientation(width > height ? QPageLayout::Landscape : QPageLayout::Portrait);
    return page;
}

void AfxSetPrinterPaper(QPrinter* printer, int paperCode, int width, int height, int orientation)
{
    if (!printer)
        return;
    const QString queue = printer->outputFormat() == QPrinter::NativeFormat ? printer->printerName() : QString();
    const QPageLayout page = AfxPrinterPaperLayout(queue, printer->pageLayout(), paperCode, width, height, orientation);
    printer->setPageSize(page.pageSize());
    printer->setPageOrientation(page.orientation());
}

CString AfxGetAppPrinterName()
{
    if (QPrinter* printer = AfxGetAppPrinter(); printer && printer->outputFormat() == QPrinter::NativeFormat)
        if (const QString name = printer->printerName(); !name.isEmpty() && QPrinterInfo::printerInfo(name).printerName() == name)
            return name;
    return QPrinterInfo::defaultPrinterName();
}

BOOL AfxPrintJob(CView* view, QPrinter* printer, CPrintInfo* info)
{
    if (!view || !printer || !info)
        return FALSE;
    // The print system lists the job under the label's name.
    if (const CDocument* doc = view->GetDocument(); doc && !doc->GetTitle().isEmpty())
        printer->setDocName(doc->GetTitle());
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

    info->m_strError.clear();
    info->m_omitted.clear();
    std::optional<FileOutputStream> toFile;
    if (!info->m_bPreview && !printer->outputFileName().isEmpty()) {
        toFile.emplace(printer);
        if (!toFile->Begin(info->m_strError))
            return FALSE;
    }

    CPainterDC dc(printer, true);
    if (!dc.Painter() || !dc.Painter()->isActive()) {
        info->m_strError = LoadMessage(489, "the printer could not be started");
        return FALSE;
    }
    if (toFile)
        toFile->PrinterStarted();
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
    info->m_omitted = dc.GetOmissions();
    if (!dc.Painter()->end()) {
        info->m_strError = LoadMessage(490, "the printer could not finish the job");
        return FALSE;
    }
    if (toFile && !toFile->Commit(info->m_strError))
        return FALSE;
    return TRUE;
}
