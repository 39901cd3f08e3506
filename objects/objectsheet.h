#pragma once
// The property sheet of a label object, as data. Each object fills the pages it has and hands
// the sheet to a runner; the runner shows the pages (the editing view installs one that opens
// the dialogs, tests install scripted ones) and, on OK, leaves the confirmed values in the
// pages' data. On Cancel the data is left as it was handed in. Objects therefore never see a
// widget.

#include "framework/gdi.h"
#include "framework/geometry.h"
#include "framework/types.h"

#include <functional>
#include <map>
#include <vector>

class CDrawText;
class CDrawViewBase;
struct CShapeData;

// The data-source page: the object's text and name, which go back into the sheet's data on OK
// like every page's, and the object itself, whose content block (and, for a barcode, module
// width and bar height) the page writes when the sheet is confirmed and never before.
struct CContentPageData {
    CString text;
    CString name;
    CDrawText* object = nullptr;
    // Table name to its field names (the document's schema map); null or empty: no fields.
    const std::map<CString, std::vector<CString>>* tables = nullptr;
    // Text objects take line breaks in their text; barcodes take a single line.
    int multiLine = 0;
};

// The font page: the object's font description and text colour.
struct CFontPageData {
    LOGFONTW font {};
    COLORREF color = 0;
};

// The barcode page: the symbology id and the human-readable line's settings.
struct CBarcodePageData {
    int id = 0;
    int showText = 1;
    int textPosition = 0;
    int alignment = 0;
};

// The pages of the 2-D code objects. Each carries a copy of its object's module-size table:
// sizes in logical units to the same sizes in millimetres.
using CModuleSizeTable = std::map<int, double>;

struct CQRCodePageData {
    CModuleSizeTable sizes;
    int moduleSize = 25;
    int ecLevel = 1;  // 0 L, 1 M, 2 Q, 3 H
    UINT codePage = 65001;
};

struct CPDF417PageData {
    CModuleSizeTable sizes;
    int moduleWidth = 25;
    BOOL levelAutomatic = TRUE;
    int errorLevel = 0;
    int rowFactor = 3;
    BOOL rowsFixed = FALSE;
    int rows = 0;
    UINT codePage = 437;
};

struct CDataMatrixPageData {
    CModuleSizeTable sizes;
    int moduleSize = 50;
    UINT codePage = 437;
    int sizeRequest = -1;  // -1 smallest square, -2 smallest rectangle, 0..29 one fixed size
};

struct CObjectSheet {
    DWORD flags = 0;  // PSH_NOAPPLYNOW (0x80): no Apply button
    // The pages, in the order shown; null where the object has no such page.
    CContentPageData* content = nullptr;
    CShapeData* shape = nullptr;
    CFontPageData* font = nullptr;
    CBarcodePageData* barcode = nullptr;
    CQRCodePageData* qrcode = nullptr;
    CPDF417PageData* pdf417 = nullptr;
    CDataMatrixPageData* dataMatrix = nullptr;

    bool HasPages() const { return content || shape || font || barcode || qrcode || pdf417 || dataMatrix; }
};

// What the objects ask of the user interface. Each call returns TRUE for OK.
struct CObjectDialogs {
    // Runs the property sheet.
    std::function<BOOL(CObjectSheet& sheet, CDrawViewBase* view)> runSheet;
    // The picture-size dialog on a picture's position (logical units).
    std::function<BOOL(CRect* position, CDrawViewBase* view)> runImageSize;
    // The file dialog that chooses a picture for the picture tool; the full path comes back.
    std::function<BOOL(CString* path, CDrawViewBase* view)> choosePicture;
    // A message of the string table.
    std::function<void(UINT stringId)> message;
    // An error message of its own text (an error icon).
    std::function<void(const CString& text)> error;
};

// Installs the dialogs (empty functions remove them) and returns the previous ones. Without a
// runner every dialog counts as cancelled and no message shows.
CObjectDialogs SetObjectDialogs(CObjectDialogs dialogs);
const CObjectDialogs& GetObjectDialogs();
BOOL RunObjectSheet(CObjectSheet& sheet, CDrawViewBase* view);
void ShowObjectMessage(UINT stringId);
void ShowObjectError(const CString& text);
