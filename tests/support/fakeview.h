#pragma once
// An editing view for tests of label objects: its client DC is a recording DC mapped as the
// editing view maps it (1536 logical units to the inch, 96 dpi times the zoom).

#include "framework/recordingdc.h"
#include "objects/drawviewbase.h"

#include <memory>
#include <vector>

class CFakeDrawView : public CDrawViewBase {
public:
    CPoint DocToClient(CPoint p) const override { return p; }
    CPoint ClientToDoc(CPoint p) const override { return p; }
    void InvalidateObject(CDrawObj* obj) override { invalidated.push_back(obj); }
    void ApplyZoom(int percent) override { zoom = percent; }
    void Deselect(CDrawObj*) override {}
    void OnUpdate(CView*, long, CObject*) override {}
    std::unique_ptr<CDC> CreateClientDC() override { return MakeDC(); }

    std::unique_ptr<CRecordingDC> MakeDC(bool printing = false) const
    {
        auto dc = std::make_unique<CRecordingDC>(CSize(1280, 1024), 96, printing);
        dc->SetMapMode(MM_ANISOTROPIC);
        dc->SetWindowExt(1536, 1536);
        dc->SetViewportExt(96 * zoom / 100, 96 * zoom / 100);
        return dc;
    }

    int zoom = 100;
    std::vector<CDrawObj*> invalidated;
};
