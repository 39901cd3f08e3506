#pragma once
// What the QR Code, PDF417 and Data Matrix objects share: a text object whose text is the data
// of a two-dimensional symbol. The object's size is the symbol's size in modules times its
// module size; dragging a corner snaps the module size to a table of sizes; the symbol drawn is
// that of the label being drawn, as dark modules on whatever lies below.
//
// This class adds no level to the archive records: each object writes the text object's record
// and then its own level.

#include "objects/drawtext.h"

#include <optional>

class CDrawCode2D : public CDrawText {
protected:
    explicit CDrawCode2D(int largestModule);
    // A new object of the palette: the text object's, then fitted to its symbol.
    CDrawCode2D(int largestModule, const CRect& position, CDrawViewBase* view, const CString& text);

public:
    // Module sizes a stored record may hold, logical units: one inch at most.
    static constexpr int kMaxStoredModule = 1536;
    // The module-size table: keys 5 to `largest` logical units, each with its size in millimetres
    // (25.4 taken in single precision).
    static CModuleSizeTable MakeModuleSizeTable(int largest);

    void AssignDefaultName(CDrawViewBase* view) override;
    // The symbol of GetDrawString for the label, its rectangle fitted first. An empty text shows
    // its placeholder's symbol on screen and nothing on paper.
    void Draw(CDC* dc, int labelIndex) override;
    void DrawSelectionState(CDC* dc, int state) override;
    // rect's right and bottom from the symbol of the text, its left and top kept; zero size when
    // the text cannot be encoded.
    void FitToText(CDC* dc, CRect* rect, const CString& text) override;
    // The object's own page; on OK the encoder's settings from it and the box refitted.
    BOOL OnEditProperties(CDrawViewBase* view) override;

    const CModuleSizeTable& ModuleSizes() const { return m_sizes; }
    virtual int GetModuleSize() const = 0;
    virtual void SetModuleSize(int units) = 0;

protected:
    // Only the corner handles act: the module size snaps to the table for the dragged width and
    // the corner opposite the dragged one stays.
    void DragUprightHandle(int n, CPoint point, CDrawViewBase* view) override;
    bool HasFontPage() const override { return false; }
    // Columns and rows of the text's symbol in modules; nothing when it cannot be encoded.
    virtual std::optional<CSize> Measure(const CString& text) = 0;
    // Paints the text's symbol into the object's rectangle, fitted to it: each run of dark
    // modules in a row a black rectangle, light modules left as they are, no quiet zone.
    virtual void PaintSymbol(CDC* dc, const CString& text) = 0;
    // Module heights per symbol row (PDF417's row factor).
    virtual int RowFactor() const { return 1; }
    // The text that stands for an empty one.
    virtual CString Placeholder() const { return QStringLiteral("<Empty>"); }
    // The sheet's page: filled from the object, taken back on OK.
    virtual void AttachPage() = 0;
    virtual void DetachPage() = 0;
    virtual void TakePage() = 0;
    // After the user changed something: the encoder's own complaint about the text, if any;
    // again after an OK, once while a drag keeps failing.
    virtual void ReportFailure(bool again) {}

    // The text of label 0, or the placeholder.
    CString MeasuredText(CDC* dc) const;
    void Refit(CDrawViewBase* view);
    // The cursor over a handle when only the corners act: the arrow for the others.
    Qt::CursorShape CornerCursor(int n);
    // On loading: the schema of this level's record, refusing one newer than this program.
    static UINT ReadCodeLevel(CArchive& ar, const CRuntimeClass* cls, const char* what);
    // A module size or row factor read from a record, refused when out of range.
    static int CheckStored(int value, int low, int high, const char* what);

    CModuleSizeTable m_sizes;
};
