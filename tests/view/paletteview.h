#pragma once
// A new 50 x 30 mm label in a shown window beside the Barcodes palette, its view active.

#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "view/drawview.h"
#include "view/workspacebars.h"

#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

class PaletteAndView : public ::testing::Test {
protected:
    void SetUp() override
    {
        CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
        doc.OnNewDocument();
        const float size[2] = {500.0f, 300.0f};
        doc.SetLabelSize(size);
        window.resize(1000, 600);
        bar = new CBarcodesWorkSpaceBar(&window);
        bar->setGeometry(0, 0, 250, 600);
        view = new CDrawView(&window);
        view->setGeometry(300, 0, 700, 600);
        view->AttachDocument(&doc);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        view->OnActivateView(TRUE);
        bar->m_activeView = [this] { return view; };
    }
    void TearDown() override { delete view; }

    QPoint InView(int x, int y) const { return view->viewport()->mapToGlobal(QPoint(x, y)); }
    // The label's corner 40 pixels inside the rulers.
    void Zoom(int zoom)
    {
        doc.SetZoom(zoom);
        const int e = view->GetViewportExtent();
        view->ScrollToPosition(CPoint(10 * e - 40, 10 * e - 40));
    }

    CDrawDoc doc;
    QWidget window;
    CBarcodesWorkSpaceBar* bar = nullptr;
    CDrawView* view = nullptr;
};
