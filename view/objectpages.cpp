#include "view/objectpages.h"

#include "framework/resourcemodule.h"
#include "framework/textnumbers.h"
#include "framework/ui/commondialogs.h"
#include "framework/ui/dialogids.h"
#include "framework/ui/dialoglayout.h"
#include "framework/ui/messagebox.h"
#include "framework/ui/uistrings.h"
#include "objects/drawobj.h"
#include "objects/drawviewbase.h"
#include "data/ui/datasourcedlg.h"
#include "view/objectpages2d.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <cmath>
#include <limits>

namespace {

constexpr UINT IDD_SHAPE = 101;
constexpr UINT IDD_BARCODE = 134;
constexpr UINT IDD_FONT = 137;
constexpr UINT IDD_IMAGE_SIZE = 179;

constexpr int IDC_LINE_WIDTH = 102, IDC_FILL = 103;
constexpr int IDC_LINE_SWATCH = 138, IDC_LINE_COLOR = 139, IDC_FILL_SWATCH = 140, IDC_FILL_COLOR = 141;
constexpr int IDC_FACE = 129, IDC_CHOOSE_FONT = 131, IDC_STYLE = 132, IDC_SIZE = 133;
constexpr int IDC_SYMBOLOGY = 133, IDC_SHOW_TEXT = 134, IDC_TEXT_POS = 135, IDC_TEXT_ALIGN = 136;
constexpr int IDC_IMAGE_WIDTH = 205, IDC_IMAGE_HEIGHT = 125;

constexpr UINT IDS_PICTURE_FILTER = 25;
constexpr UINT IDS_PICTURE_EXT = 26;

// Loads a dialog layout of the resource module into a page or dialog and takes its caption.
void LoadLayout(QWidget* host, UINT id)
{
    ApplyDialogLayout(host, CResourceModule::Get().LoadDialogLayout(id));
}

QWidget* ParentOf(CDrawViewBase* view)
{
    if (auto* w = dynamic_cast<QWidget*>(view))
        return w->window();
    return QApplication::activeWindow();
}

}  // namespace

// --- arithmetic -------------------------------------------------------------------------------

CString FontSizeText(LONG lfHeight)
{
    return QString::number(std::abs(qint64(MulDiv(lfHeight, 72, 1536))));
}

CString FontStyleText(LONG weight)
{
    if (weight == 400)
        return QStringLiteral(u"標準");
    if (weight == 700)
        return QStringLiteral(u"粗體");
    return {};
}

LONG FontPixelsOfHeight(LONG lfHeight, int ppi)
{
    return LONG(qint64(lfHeight) * ppi / 1536);
}

LONG FontHeightOfPixels(LONG pixels, int ppi)
{
    return ppi > 0 ? LONG(qint64(pixels) * 1536 / ppi) : pixels;
}

CString ImageLengthText(qint64 units)
{
    return MillimetresText(double(units));
}

bool ImageEdgeOfLength(double mm, int origin, int* edge)
{
    if (!std::isfinite(mm) || mm <= 0)
        return false;
    const double e = (mm + 0.005) / kDialogMmPerInch * 1536.0 + origin;
    if (!(e >= std::numeric_limits<int>::min() && e < double(std::numeric_limits<int>::max()) + 1.0))
        return false;
    *edge = int(e);
    return true;
}

// --- CFontSetupDlg ----------------------------------------------------------------------------

CFontSetupDlg::CFontSetupDlg(LOGFONTW* font, COLORREF* color, QWidget* parent)
    : CPropertyPage(IDD_FONT, {}, parent), m_font(font), m_color(color)
{
    LoadLayout(this, IDD_FONT);
    SetCaption(windowTitle());
    if (auto* b = GetDlgItem<QAbstractButton>(this, IDC_CHOOSE_FONT))
        connect(b, &QAbstractButton::clicked, this, &CFontSetupDlg::OnChooseFont);
    Exchange();
}

BOOL CFontSetupDlg::OnSetActive()
{
    Exchange();
    return TRUE;
}

void CFontSetupDlg::Exchange()
{
    SetDlgItemText(this, IDC_FACE, FaceNameOf(*m_font));
    SetDlgItemText(this, IDC_SIZE, FontSizeText(m_font->lfHeight));
    SetDlgItemText(this, IDC_STYLE, FontStyleText(m_font->lfWeight));
}

void CFontSetupDlg::OnChooseFont()
{
    const int ppi = CFontDialog::ScreenPixelsPerInch();
    LOGFONTW screen = *m_font;
    const LONG pixels = FontPixelsOfHeight(m_font->lfHeight, ppi);
    screen.lfHeight = pixels;
    CFontDialog dialog(&screen, CF_SCREENFONTS | CF_EFFECTS, this);
    dialog.SetColor(*m_color);
    // On Cancel the font stays as it was: the conversion to pixels and back is not exact.
    if (dialog.DoModal() != IDOK)
        return;
    dialog.GetCurrentFont(&screen);
    // A size left as it was keeps its height: pixels and back are not exact either.
    const LONG height = screen.lfHeight == pixels ? m_font->lfHeight : FontHeightOfPixels(screen.lfHeight, ppi);
    SetFaceName(*m_font, FaceNameOf(screen));
    m_font->lfHeight = height;
    m_font->lfWeight = screen.lfWeight;
    m_font->lfItalic = screen.lfItalic;
    m_font->lfUnderline = screen.lfUnderline;
    m_font->lfStrikeOut = screen.lfStrikeOut;
    *m_color = dialog.GetColor();
    Exchange();
}

// --- CShapeDlg --------------------------------------------------------------------------------

CShapeDlg::CShapeDlg(CShapeData* data, QWidget* parent) : CPropertyPage(IDD_SHAPE, {}, parent), m_data(data)
{
    LoadLayout(this, IDD_SHAPE);
    SetCaption(windowTitle());
    SetDlgItemText(this, IDC_LINE_WIDTH, QString::number(m_data->lineWidthMm, 'f', 3));
    if (auto* fill = GetDlgItem<QCheckBox>(this, IDC_FILL))
        fill->setChecked(m_data->fillOn != 0);
    if (auto* b = GetDlgItem<QAbstractButton>(this, IDC_LINE_COLOR))
        connect(b, &QAbstractButton::clicked, this, [this] { ChooseColor(true); });
    if (auto* b = GetDlgItem<QAbstractButton>(this, IDC_FILL_COLOR))
        connect(b, &QAbstractButton::clicked, this, [this] { ChooseColor(false); });
    PaintSwatches();
}

void CShapeDlg::PaintSwatches()
{
    const std::pair<int, COLORREF> swatches[] = {{IDC_LINE_SWATCH, m_data->lineColor},
                                                 {IDC_FILL_SWATCH, m_data->fillColor}};
    for (const auto& [id, colour] : swatches)
        if (QWidget* w = GetDlgItem(this, id)) {
            QPalette p = w->palette();
            p.setColor(QPalette::Window, ColorOf(colour));
            w->setPalette(p);
            w->setAutoFillBackground(true);
            w->update();
        }
}

void CShapeDlg::ChooseColor(bool line)
{
    CColorDialog dialog(0, 0, this);
    if (dialog.DoModal() != IDOK)
        return;
    (line ? m_data->lineColor : m_data->fillColor) = dialog.GetColor();
    PaintSwatches();
}

void CShapeDlg::OnOK()
{
    if (auto* fill = GetDlgItem<QCheckBox>(this, IDC_FILL))
        m_data->fillOn = fill->isChecked() ? 1 : 0;
    // Any text is taken: its leading number, else 0.
    m_data->lineWidthMm = Wtof(GetDlgItemText(this, IDC_LINE_WIDTH));
}

// --- CBarcodeDlg ------------------------------------------------------------------------------

CBarcodeDlg::CBarcodeDlg(CBarcodePageData* data, QWidget* parent)
    : CPropertyPage(IDD_BARCODE, {}, parent), m_data(data)
{
    LoadLayout(this, IDD_BARCODE);
    SetCaption(windowTitle());
    static const char* const kNames[] = {"Code39", "Code 39 Full ASCII", "Code93", "Code128 Auto",
                                         "Code128 A", "Code128 B", "Code128 C", "EAN13", "EAN8",
                                         "UPC-A", "UPC-E", "Interleaved 2 of 5", "Codabar", "ITF-14"};
    if (auto* c = GetDlgItem<QComboBox>(this, IDC_SYMBOLOGY)) {
        c->clear();
        for (int id = 0; id < int(std::size(kNames)); ++id)
            c->addItem(QString::fromLatin1(kNames[id]), id);
        c->setCurrentIndex(c->findData(m_data->id));
        connect(c, &QComboBox::currentIndexChanged, this, [this, c](int i) {
            m_data->id = i >= 0 ? c->itemData(i).toInt() : 0;
        });
    }
    if (auto* c = GetDlgItem<QComboBox>(this, IDC_SHOW_TEXT)) {
        c->setCurrentIndex(m_data->showText == 1 ? 0 : m_data->showText == 0 ? 1 : -1);
        connect(c, &QComboBox::currentIndexChanged, this, [this](int i) {
            if (i == 0 || i == 1)
                m_data->showText = i == 0 ? 1 : 0;
        });
    }
    if (auto* c = GetDlgItem<QComboBox>(this, IDC_TEXT_POS)) {
        c->setCurrentIndex(m_data->textPosition == 1 ? 0 : m_data->textPosition == 0 ? 1 : -1);
        connect(c, &QComboBox::currentIndexChanged, this, [this](int i) {
            if (i == 0 || i == 1)
                m_data->textPosition = i == 0 ? 1 : 0;
        });
    }
    if (auto* c = GetDlgItem<QComboBox>(this, IDC_TEXT_ALIGN)) {
        const int a = m_data->alignment;
        c->setCurrentIndex(a == 0 ? 1 : a == 1 ? 0 : a == 2 ? 2 : -1);
        connect(c, &QComboBox::currentIndexChanged, this, [this](int i) {
            if (i == 0)
                m_data->alignment = 1;
            else if (i == 1)
                m_data->alignment = 0;
            else if (i == 2)
                m_data->alignment = 2;
        });
    }
}


// --- CSetImageSizeDlg -------------------------------------------------------------------------

CSetImageSizeDlg::CSetImageSizeDlg(const CRect& position, QWidget* parent) : QDialog(parent), m_rect(position)
{
    LoadLayout(this, IDD_IMAGE_SIZE);
    SetDlgItemText(this, IDC_IMAGE_WIDTH, ImageLengthText(qint64(m_rect.right) - m_rect.left));
    SetDlgItemText(this, IDC_IMAGE_HEIGHT, ImageLengthText(qint64(m_rect.bottom) - m_rect.top));
}

int CSetImageSizeDlg::DoModal()
{
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CSetImageSizeDlg::accept()
{
    int right = 0, bottom = 0;
    const std::pair<int, int*> fields[] = {{IDC_IMAGE_WIDTH, &right}, {IDC_IMAGE_HEIGHT, &bottom}};
    for (const auto& [id, edge] : fields) {
        const int origin = id == IDC_IMAGE_WIDTH ? m_rect.left : m_rect.top;
        // Zero, negative, not a number, infinite, or too large for the label's coordinates.
        if (!ImageEdgeOfLength(Wtof(GetDlgItemText(this, id)), origin, edge)) {
            AfxMessageBox(QStringLiteral(u"請輸入正確尺寸."), MB_OK | MB_ICONWARNING, this);
            if (auto* e = GetDlgItem<QLineEdit>(this, id)) {
                e->setFocus();
                e->selectAll();
            }
            return;
        }
    }
    m_rect.right = right;
    m_rect.bottom = bottom;
    QDialog::accept();
}

// --- the runner -------------------------------------------------------------------------------

BOOL RunObjectSheetDialog(CObjectSheet& sheet, QWidget* parent)
{
    // Copies, so that a page that writes at once (a chosen font or colour) leaves nothing
    // behind on Cancel.
    CContentPageData content = sheet.content ? *sheet.content : CContentPageData();
    CShapeData shape = sheet.shape ? *sheet.shape : CShapeData();
    CFontPageData font = sheet.font ? *sheet.font : CFontPageData();
    CBarcodePageData barcode = sheet.barcode ? *sheet.barcode : CBarcodePageData();
    CQRCodePageData qrcode = sheet.qrcode ? *sheet.qrcode : CQRCodePageData();
    CPDF417PageData pdf417 = sheet.pdf417 ? *sheet.pdf417 : CPDF417PageData();
    CDataMatrixPageData dataMatrix = sheet.dataMatrix ? *sheet.dataMatrix : CDataMatrixPageData();

    CPropertySheet dialog(AfxGetAppName(), parent);
    dialog.SetFlags(sheet.flags);
    // Each run makes its pages anew, so that every run loads them from the object.
    std::unique_ptr<CDataSourceDlg> contentPage;
    std::unique_ptr<CShapeDlg> shapePage;
    std::unique_ptr<CFontSetupDlg> fontPage;
    std::unique_ptr<CBarcodeDlg> barcodePage;
    if (sheet.content && sheet.content->object)
        dialog.AddPage((contentPage = std::make_unique<CDataSourceDlg>(&content)).get());
    std::unique_ptr<CPropertyPage> codePage;
    if (sheet.shape)
        dialog.AddPage((shapePage = std::make_unique<CShapeDlg>(&shape)).get());
    if (sheet.font)
        dialog.AddPage((fontPage = std::make_unique<CFontSetupDlg>(&font.font, &font.color)).get());
    if (sheet.barcode)
        dialog.AddPage((barcodePage = std::make_unique<CBarcodeDlg>(&barcode)).get());
    if (sheet.qrcode)
        dialog.AddPage((codePage = std::make_unique<CQRCodePropPage>(&qrcode)).get());
    else if (sheet.pdf417)
        dialog.AddPage((codePage = std::make_unique<CPDF417PropPage>(&pdf417)).get());
    else if (sheet.dataMatrix)
        dialog.AddPage((codePage = std::make_unique<CDataMatrixPropPage>(&dataMatrix)).get());
    if (dialog.DoModal() != IDOK)
        return FALSE;
    if (sheet.content)
        *sheet.content = content;
    if (sheet.shape)
        *sheet.shape = shape;
    if (sheet.font)
        *sheet.font = font;
    if (sheet.barcode)
        *sheet.barcode = barcode;
    if (sheet.qrcode)
        *sheet.qrcode = qrcode;
    if (sheet.pdf417)
        *sheet.pdf417 = pdf417;
    if (sheet.dataMatrix)
        *sheet.dataMatrix = dataMatrix;
    return TRUE;
}

void InstallObjectDialogs()
{
    if (GetObjectDialogs().runSheet)
        return;
    CObjectDialogs dialogs;
    dialogs.runSheet = [](CObjectSheet& sheet, CDrawViewBase* view) {
        return RunObjectSheetDialog(sheet, ParentOf(view));
    };
    dialogs.runImageSize = [](CRect* position, CDrawViewBase* view) -> BOOL {
        CSetImageSizeDlg dialog(*position, ParentOf(view));
        if (dialog.DoModal() != IDOK)
            return FALSE;
        *position = dialog.GetRect();
        return TRUE;
    };
    dialogs.choosePicture = [](CString* path, CDrawViewBase* view) -> BOOL {
        const CResourceModule& res = CResourceModule::Get();
        CFileDialog dialog(TRUE, res.LoadString(IDS_PICTURE_EXT), {}, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                           res.LoadString(IDS_PICTURE_FILTER), ParentOf(view));
        if (dialog.DoModal() != IDOK)
            return FALSE;
        *path = dialog.GetPathName();
        return TRUE;
    };
    dialogs.message = [](UINT id) { AfxMessageBox(id, MB_OK | MB_ICONWARNING); };
    dialogs.error = [](const CString& text) { AfxMessageBox(text, MB_OK | MB_ICONERROR); };
    SetObjectDialogs(std::move(dialogs));
}
