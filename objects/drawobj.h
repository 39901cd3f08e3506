#pragma once
// Label objects: the base every item on a label derives from, and the plain shapes (rectangle,
// rounded rectangle, ellipse, line). Coordinates are logical units of 1/1536 inch; a position
// keeps the direction in which it was drawn and may be unnormalised.
//
// Archive records: every class level writes its base's part first and begins its own part with
// its class reference; on loading a level reads that reference only when the schema handed down
// is above 0 (files of the oldest schema have none), and hands the schema on.

#include "framework/dc.h"
#include "framework/geometry.h"
#include "framework/object.h"
#include "objects/objectsheet.h"

#include <Qt>
#include <map>

class CArchive;
class CDrawDoc;
class CDrawViewBase;

// Selection states passed to DrawSelectionState.
enum { kSelectionNone = 0, kSelectionSelected = 1, kSelectionActive = 2 };

class CDrawObj : public CObject {
    DECLARE_SERIAL(CDrawObj)
protected:
    CDrawObj();

public:
    explicit CDrawObj(const CRect& position);
    ~CDrawObj() override;

    void Serialize(CArchive& ar) override;

    virtual void AssignDefaultName(CDrawViewBase* view) {}
    virtual int CountHandles();
    // Handles are numbered from 1.
    virtual CPoint GetHandlePoint(int n);
    // Handle n of a box in the eight-handle table: corners and side middles clockwise from the
    // top-left (1); any other n is the top-left.
    static CPoint HandlePointOf(const CRect& box, int n);
    virtual Qt::CursorShape CursorForHandle(int n);
    virtual void SetLineColor(COLORREF color);
    virtual void SetFillColor(COLORREF color);
    virtual void Draw(CDC* dc, int labelIndex) {}
    // States 1 and 2 draw the handles; other states nothing.
    virtual void DrawSelectionState(CDC* dc, int state);
    // Handles keep 8 device pixels at every zoom; each is green unless `colors` names another.
    virtual void DrawHandles(CDC* dc, int state, const std::map<int, COLORREF>& colors);
    virtual void DrawSelectionMark(CDC* dc, int state) {}
    // Moves the object, shifted (not resized) to stay inside the document's canvas.
    virtual void MoveTo(const CRect& position, CDrawViewBase* view = nullptr);
    // `client` in client pixels: the handle under it, else 0 with *inside telling whether the
    // point is within the object's rectangle.
    virtual int HitTest(CPoint client, CDrawViewBase* view, BOOL selected, int* inside);
    virtual BOOL OverlapsRect(const CRect& rect);
    virtual void DragHandle(int n, CPoint point, CDrawViewBase* view = nullptr);
    // A copy of the object, appended to `doc` when one is given.
    virtual CDrawObj* Clone(CDrawDoc* doc = nullptr);
    virtual void Remove();
    virtual void Rotate90() {}
    // Opening the object (a double click): its properties.
    virtual void OnOpen(CDrawViewBase* view);
    // Runs the object's property sheet; TRUE for OK. On Cancel the object is unchanged. An
    // object without pages opens nothing and answers FALSE.
    virtual BOOL OnEditProperties(CDrawViewBase* view);
    // The pixel bytes of the object's picture, which count against the label's bound.
    virtual long long GetPictureMemory() const { return 0; }
    // What of the object could not be loaded and why, in the user's words; empty when all was.
    virtual CString GetLoadProblem() const { return {}; }

    CString GetName() const { return m_name; }
    void SetName(const CString& name) { m_name = name; }
    // The handle's square of 8 x 8 client pixels.
    CRect GetHandleRect(int n, CDrawViewBase* view);
    // Repaints the object through the view, or through every view of the document.
    void Invalidate(CDrawViewBase* view = nullptr);

    CRect m_position;
    CDrawDoc* m_pDocument = nullptr;
    CString m_name;
    BOOL m_bPen = TRUE;
    LOGPEN m_logpen {};
    BOOL m_bBrush = FALSE;
    LOGBRUSH m_logbrush {};

protected:
    // On loading: reads the class reference that begins one level of the record when the
    // schema handed down says the record has one, and returns the schema to hand on.
    static UINT ReadLevelClass(CArchive& ar, const CRuntimeClass* cls);
    void CopyBaseTo(CDrawObj* other) const;
    void SetModified();

    // The pages of the sheet being run; each class level adds its own for the run.
    CObjectSheet m_sheet;
};

// The object's pen and brush selected into a DC for one drawing (the null stock objects where
// the outline or the fill is off); the previous ones are selected back when it goes.
class CDrawTools {
public:
    CDrawTools(CDC* dc, const CDrawObj& obj);
    ~CDrawTools();
    CDrawTools(const CDrawTools&) = delete;
    CDrawTools& operator=(const CDrawTools&) = delete;

private:
    CDC* m_dc;
    CPen m_pen;
    CBrush m_brush;
    CGdiObject* m_oldPen;
    CGdiObject* m_oldBrush;
};

// Settings the shape page edits; the persistent form of the pen width is the line width in
// millimetres.
struct CShapeData {
    COLORREF lineColor = 0;
    COLORREF fillColor = 0;
    double lineWidthMm = 0.1;
    BOOL fillOn = FALSE;
    BOOL lineOn = FALSE;
};

class CDrawRect : public CDrawObj {
    DECLARE_SERIAL(CDrawRect)
protected:
    CDrawRect();

public:
    enum Shape { rectangle = 0, roundRectangle = 1, ellipse = 2, line = 3 };

    explicit CDrawRect(const CRect& position);

    void Serialize(CArchive& ar) override;
    int CountHandles() override;
    CPoint GetHandlePoint(int n) override;
    Qt::CursorShape CursorForHandle(int n) override;
    void Draw(CDC* dc, int labelIndex) override;
    BOOL OverlapsRect(const CRect& rect) override;
    void DragHandle(int n, CPoint point, CDrawViewBase* view = nullptr) override;
    CDrawObj* Clone(CDrawDoc* doc = nullptr) override;
    void Rotate90() override;
    // The shape page, for the objects that show it: colours, fill and line width.
    BOOL OnEditProperties(CDrawViewBase* view) override;

    // The shape page's data: filled from the object before the page opens, and applied back
    // when it is confirmed (which also sets the pen width from the line width).
    void FillShapeData();
    void ApplyShapeData();
    // Pen width in logical units of a line width in millimetres.
    static int PenWidthFromMm(double mm);

    int m_nShape = rectangle;
    CPoint m_roundness;
    int m_nRotation = 0;  // tenths of a degree: 0, 900, 1800, 2700
    CShapeData m_shapeData;

protected:
    // Text objects and their descendants do not show the shape page.
    virtual bool HasShapePage() const { return true; }
};
