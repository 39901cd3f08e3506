#pragma once
// The property pages and dialogs of label objects, and the runner that shows them for the
// objects: the font page, the shape page, the barcode page and the picture-size dialog. Each
// page works on data its owner hands it by pointer; the arithmetic lives in plain functions.

#include "framework/gdi.h"
#include "framework/geometry.h"
#include "framework/ui/propertysheet.h"
#include "objects/objectsheet.h"

#include <QDialog>

struct CShapeData;
class QComboBox;

// Millimetres per inch as the dialogs convert: 25.4 in single precision, widened.
constexpr double kDialogMmPerInch = double(25.4f);

// The font page's arithmetic. The size shown is the absolute value of lfHeight x 72 / 1536
// rounded as MulDiv rounds; the style is "標準" for weight 400, "粗體" for 700, else empty.
// The font dialog works in pixels of the screen: lfHeight x ppi / 1536 and back with
// px x 1536 / ppi, both truncated.
CString FontSizeText(LONG lfHeight);
CString FontStyleText(LONG weight);
LONG FontPixelsOfHeight(LONG lfHeight, int ppi);
LONG FontHeightOfPixels(LONG pixels, int ppi);

// The picture-size dialog's arithmetic: the text shown for a length of logical units, and the
// right (or bottom) edge for a typed length in millimetres from the left (or top). FALSE for a
// length that is not a positive finite number or whose edge leaves the range of int.
CString ImageLengthText(qint64 units);
bool ImageEdgeOfLength(double mm, int origin, int* edge);

class CFontSetupDlg : public CPropertyPage
{
    Q_OBJECT
public:
    CFontSetupDlg(LOGFONTW* font, COLORREF* color, QWidget* parent = nullptr);

    BOOL OnSetActive() override;
    // Command 131: the font dialog on the page's font, at the screen's resolution. On OK the
    // family, size, weight, italic, underline, strikeout and colour are taken; on Cancel the
    // font stays exactly as it was.
    void OnChooseFont();

private:
    void Exchange();

    LOGFONTW* m_font;
    COLORREF* m_color;
};

class CShapeDlg : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CShapeDlg(CShapeData* data, QWidget* parent = nullptr);

    void OnOK() override;

private:
    void ChooseColor(bool line);
    void PaintSwatches();

    CShapeData* m_data;
};

class CBarcodeDlg : public CPropertyPage
{
    Q_OBJECT
public:
    explicit CBarcodeDlg(CBarcodePageData* data, QWidget* parent = nullptr);

private:
    CBarcodePageData* m_data;
};

class CSetImageSizeDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CSetImageSizeDlg(const CRect& position, QWidget* parent = nullptr);

    int DoModal();
    CRect GetRect() const { return m_rect; }

    void accept() override;

private:
    CRect m_rect;
};

// Shows an object's sheet with these pages; the pages edit copies that go back into the
// sheet's data only on OK.
BOOL RunObjectSheetDialog(CObjectSheet& sheet, QWidget* parent);

// Installs the dialogs above as the objects' user interface, unless another runner (a test's)
// is installed already.
void InstallObjectDialogs();
