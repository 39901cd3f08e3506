#pragma once
// The mouse tools of the editing view. The view hands every left-button and mouse-move event,
// in client pixels, to the tool of the current drawing shape. One tool exists per shape; the
// state of the drag in progress is shared by all of them (only one view has the mouse at a time).

#include "framework/geometry.h"
#include "framework/types.h"

#include <QCursor>

#include <functional>

class CDrawObj;
class CDrawPoly;
class CDrawView;

// Key flags of a mouse event.
constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_SHIFT = 0x0004;
constexpr UINT MK_CONTROL = 0x0008;

// Drawing shapes: what the next drag creates.
enum DrawShape {
    kShapeSelect = 0,
    kShapeText = 1,
    kShapeBarcode = 2,
    kShapeLine = 3,
    kShapeRect = 4,
    kShapeRoundRect = 5,
    kShapeEllipse = 6,
    kShapePolygon = 7,
    kShapePicture = 8,
};

// A cursor of the resource module with its hot spot, or the fallback shape when the module
// lacks it.
QCursor ResourceCursor(UINT id, Qt::CursorShape fallback);

enum SelectMode { kSelectNone = 0, kSelectNet = 1, kSelectMove = 2, kSelectSize = 3 };

class CDrawTool {
public:
    explicit CDrawTool(int shape);
    virtual ~CDrawTool();
    CDrawTool(const CDrawTool&) = delete;
    CDrawTool& operator=(const CDrawTool&) = delete;

    virtual void OnLButtonDown(CDrawView* view, UINT flags, const CPoint& point);
    virtual void OnLButtonDblClk(CDrawView* view, UINT flags, const CPoint& point);
    virtual void OnLButtonUp(CDrawView* view, UINT flags, const CPoint& point);
    virtual void OnMouseMove(CDrawView* view, UINT flags, const CPoint& point);
    virtual void OnEditProperties(CDrawView* view);
    virtual void OnCancel();

    // The first tool made for the shape, or null.
    static CDrawTool* ToolForShape(int shape);

    const int m_drawShape;

    // The drag in progress, shared by every tool.
    static int c_selectMode;
    static int c_nDragHandle;  // 1-based, 0 when none
    static UINT c_nDownFlags;
    static int c_drawShape;    // the current drawing shape
    static CPoint c_down;      // client pixels
    static CPoint c_last;      // client pixels
    static CPoint c_lastLogical;

    // Makes the object of a creating shape (text, barcode, picture) at an empty rectangle.
    static std::function<CDrawObj*(int shape, const CRect& position, CDrawView* view)> c_createObject;
};

class CSelectTool : public CDrawTool {
public:
    CSelectTool();
    void OnLButtonDown(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnLButtonDblClk(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnLButtonUp(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnMouseMove(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnEditProperties(CDrawView* view) override;
};

class CRectTool : public CDrawTool {
public:
    explicit CRectTool(int shape);
    void OnLButtonDown(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnLButtonDblClk(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnLButtonUp(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnMouseMove(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnEditProperties(CDrawView* view) override;
    void OnCancel() override;
};

class CPolyTool : public CDrawTool {
public:
    CPolyTool();
    void OnLButtonDown(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnLButtonDblClk(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnLButtonUp(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnMouseMove(CDrawView* view, UINT flags, const CPoint& point) override;
    void OnCancel() override;

    // Ends the polygon in progress when it is drawn in `view`, or in any view when `view` is
    // null: the polygon stays in its document with the points it has, the view lets the mouse
    // go and the select tool is current again. Called when the shape changes, and when the
    // view is deactivated or destroyed or the polygon leaves its document.
    void EndPolygon(const CDrawView* view = nullptr);
    // The polygon drawn in the view, or null.
    CDrawPoly* PolygonOf(const CDrawView* view) const { return view == m_pView ? m_pDrawObj : nullptr; }

    // The polygon being drawn and the view it is drawn in, or null.
    CDrawPoly* m_pDrawObj = nullptr;
    CDrawView* m_pView = nullptr;
};

// The polygon tool of the tool list.
inline CPolyTool* PolyTool()
{
    return dynamic_cast<CPolyTool*>(CDrawTool::ToolForShape(kShapePolygon));
}
