// The label exported as a picture file: drawn as on paper into an image at a chosen resolution,
// band by band, and saved in the format the file's extension names.

#include "view/drawview.h"

#include "document/drawdoc.h"
#include "framework/painterdc.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/uistrings.h"
#include "image/rasterimage.h"
#include "objects/drawimage.h"
#include "printing/exportfiledlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>

#include <cstring>

namespace {

constexpr UINT kStrExportFailed = 31;
constexpr UINT kStrExportDone = 43;

// Switches the fixed viewport extent on for as long as it lives.
class CFixedExtentScope {
public:
    CFixedExtentScope(CDrawView* view, int dpi) : m_view(view) { m_view->SetFixedViewportExtent(TRUE, dpi); }
    ~CFixedExtentScope() { m_view->SetFixedViewportExtent(FALSE); }
    CFixedExtentScope(const CFixedExtentScope&) = delete;
    CFixedExtentScope& operator=(const CFixedExtentScope&) = delete;

private:
    CDrawView* m_view;
};

}  // namespace

void CDrawView::RenderLabel(CRasterImage* image, int width, int height, int dpi)
{
    CDrawDoc* doc = GetDocument();
    if (!doc || !image || !image->IsValid() || width <= 0 || height <= 0 || image->GetBpp() != 24
        || image->GetWidth() < width || image->GetHeight() < height)
        return;
    const CFixedExtentScope fixed(this, dpi);
    QImage band(width, kBandRows, QImage::Format_BGR888);
    if (band.isNull())
        return;
    const int dpm = qRound(dpi / 0.0254);
    band.setDotsPerMeterX(dpm);
    band.setDotsPerMeterY(dpm);
    const size_t rowBytes = size_t(width) * 3;
    const int bands = height / kBandRows + (height % kBandRows > 0 ? 1 : 0);
    for (int i = 0; i < bands; ++i) {
        band.fill(Qt::white);
        {
            CPainterDC dc(&band, true);
            OnPrepareDC(&dc);
            dc.SetViewportOrg(0, -kBandRows * i);
            doc->Draw(&dc, this);
        }
        const int rows = std::min(kBandRows, height - kBandRows * i);
        for (int r = 0; r < rows; ++r)
            std::memcpy(image->ScanLine(kBandRows * i + r), band.constScanLine(r), rowBytes);
    }
    image->SetXDPI(dpi);
    image->SetYDPI(dpi);
}

void CDrawView::OnExportImage()
{
    CExportFileDlg dialog(this);
    if (dialog.DoModal() == IDOK)
        ExportLabel(dialog.m_strFilePath, dialog.m_nResolution);
}

BOOL CDrawView::ExportLabel(const CString& path, int dpi)
{
    CDrawDoc* doc = GetDocument();
    if (!doc)
        return FALSE;
    const std::array<float, 2> size = doc->GetShownLabelSize();
    const int width = SaturateInt(double(size[0] / 100.0f / 2.54f * float(dpi)));
    const int height = SaturateInt(double(size[1] / 100.0f / 2.54f * float(dpi)));
    bool saved = false;
    CString cause;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        CRasterImage image;
        if (width > 0 && height > 0 && image.Create(DWORD(width), DWORD(height), 24, RASTER_FORMAT_BMP))
            RenderLabel(&image, width, height, dpi);
        // The format is the one the file's name asks for, whether browsed to or typed; "tiff"
        // is the long form of "tif".
        CString extension = QFileInfo(path).suffix();
        if (extension.compare(u"tiff", Qt::CaseInsensitive) == 0)
            extension = QStringLiteral("tif");
        saved = image.IsValid() && image.Save(path, ExtensionToFormat(extension));
        if (!saved)
            cause = image.GetLastError();
        QApplication::restoreOverrideCursor();
    }
    if (saved)
        AfxMessageBox(kStrExportDone, MB_ICONINFORMATION, this);
    else if (cause.isEmpty())
        AfxMessageBox(kStrExportFailed, MB_ICONERROR, this);
    else
        AfxMessageBox(AfxLoadString(kStrExportFailed) + QStringLiteral("\n\n") + cause, MB_ICONERROR, this);
    return saved ? TRUE : FALSE;
}
