#pragma once
// What label objects and the document need of the editing view: converting between client
// pixels and logical units, repainting, zooming and dropping objects from the selection. The
// editing view implements it.

#include "framework/dc.h"
#include "framework/document.h"
#include "framework/geometry.h"

#include <memory>

class CDrawObj;

class CDrawViewBase : public CView {
public:
    // Logical units to client pixels and back, as the view's prepared device context maps them.
    virtual CPoint DocToClient(CPoint logical) const = 0;
    virtual CPoint ClientToDoc(CPoint client) const = 0;
    // Repaints the area of the object, its handles included.
    virtual void InvalidateObject(CDrawObj* obj) = 0;
    virtual void ApplyZoom(int percent) = 0;
    // Gives the view the keyboard focus (after a zoom).
    virtual void SetFocus() {}
    virtual void Deselect(CDrawObj* obj) = 0;
    // Whether the view is the active view of its frame, and whether it has the object selected;
    // the document draws selection marks only for an active view's selection.
    virtual BOOL IsActiveView() const { return FALSE; }
    virtual BOOL IsSelected(const CObject* obj) const { return FALSE; }
    // A device context of the view's client area, prepared as for drawing (mapping, extents
    // and origins at the current zoom). Objects measure their text with it.
    virtual std::unique_ptr<CDC> CreateClientDC() = 0;
};
