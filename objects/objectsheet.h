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

class CDrawViewBase;
struct CShapeData;

// The font page: the object's font description and text colour.
struct CFontPageData {
    LOGFONTW font {};
    COLORREF color = 0;
};

// The barcode page: the symbology id, the human-readable line's settings, and the data to
// encode (edited on this page until the object has a content page of its own).
struct CBarcodePageData {
    CString text;
    int id = 0;
    int showText = 1;
    int textPosition = 0;
    int alignment = 0;
};

struct CObjectSheet {
    DWORD flags = 0;  // PSH_NOAPPLYNOW (0x80): no Apply button
    // The pages, in the order shown; null where the object has no such page.
    CShapeData* shape = nullptr;
    CFontPageData* font = nullptr;
    CBarcodePageData* barcode = nullptr;

    bool HasPages() const { return shape || font || barcode; }
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
};

// Installs the dialogs (empty functions remove them) and returns the previous ones. Without a
// runner every dialog counts as cancelled and no message shows.
CObjectDialogs SetObjectDialogs(CObjectDialogs dialogs);
const CObjectDialogs& GetObjectDialogs();
BOOL RunObjectSheet(CObjectSheet& sheet, CDrawViewBase* view);
void ShowObjectMessage(UINT stringId);
