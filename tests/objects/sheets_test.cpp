// What the objects do with their property sheets, with a scripted runner in place of the
// dialogs: which pages each object hands over, and what OK and Cancel change.

#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "objects/drawimage.h"
#include "objects/drawpoly.h"
#include "objects/drawtext.h"
#include "support/fakeview.h"

#include <gtest/gtest.h>

namespace {

// Installs a runner that hands each sheet to `edit` and answers `ok`; the previous dialogs come
// back at the end of the scope.
struct Scripted {
    Scripted(BOOL ok, std::function<void(CObjectSheet&)> edit)
    {
        CObjectDialogs d;
        d.runSheet = [this, ok, edit](CObjectSheet& sheet, CDrawViewBase*) {
            ++runs;
            flags = sheet.flags;
            if (edit)
                edit(sheet);
            return ok;
        };
        d.runImageSize = [ok](CRect* r, CDrawViewBase*) {
            r->right = r->left + 605;
            return ok;
        };
        old = SetObjectDialogs(std::move(d));
    }
    ~Scripted() { SetObjectDialogs(std::move(old)); }
    CObjectDialogs old;
    int runs = 0;
    DWORD flags = 0;
};

}  // namespace

TEST(ObjectSheet, ShapesAndPicturesChangeOnOkOnly)
{
    CDrawDoc doc;
    auto* rect = new CDrawRect(CRect(0, 0, 900, 600));
    doc.Add(rect);
    doc.SetModifiedFlag(FALSE);
    auto edit = [](CObjectSheet& s) {
        ASSERT_NE(s.shape, nullptr);
        EXPECT_EQ(s.font, nullptr);
        s.shape->lineWidthMm = 0.25;
        s.shape->fillOn = TRUE;
        s.shape->lineColor = RGB(1, 2, 3);
    };
    {
        Scripted cancel(FALSE, edit);
        EXPECT_FALSE(rect->OnEditProperties(nullptr));
    }
    EXPECT_EQ(rect->m_logpen.lopnWidth.x, 6);
    EXPECT_FALSE(rect->m_bBrush);
    EXPECT_FALSE(doc.IsModified());
    {
        Scripted ok(TRUE, edit);
        EXPECT_TRUE(rect->OnEditProperties(nullptr));
        EXPECT_EQ(ok.flags & 0x80, 0u);  // shapes keep Apply
    }
    EXPECT_EQ(rect->m_logpen.lopnWidth.x, 15);
    EXPECT_TRUE(rect->m_bBrush);
    EXPECT_EQ(rect->m_logpen.lopnColor, RGB(1, 2, 3));
    EXPECT_TRUE(doc.IsModified());

    // A polygon has no page: nothing runs.
    CDrawPoly poly(CRect(0, 0, 10, 10));
    {
        Scripted never(TRUE, {});
        EXPECT_FALSE(poly.OnEditProperties(nullptr));
        EXPECT_EQ(never.runs, 0);
    }

    // A picture's size comes from its own dialog.
    auto* picture = new CDrawImage(CRect(0, 0, 1536, 768));
    doc.Add(picture);
    doc.SetModifiedFlag(FALSE);
    {
        Scripted cancel(FALSE, {});
        picture->OnEditProperties(nullptr);
    }
    EXPECT_EQ(picture->m_position, CRect(0, 0, 1536, 768));
    EXPECT_FALSE(doc.IsModified());
    {
        Scripted ok(TRUE, {});
        EXPECT_TRUE(picture->OnEditProperties(nullptr));
    }
    EXPECT_EQ(picture->m_position, CRect(0, 0, 605, 768));
    EXPECT_TRUE(doc.IsModified());
}

TEST(ObjectSheet, TextRefitsOnlyWhenItsFontChanged)
{
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    CFakeDrawView view;
    CDrawText text(CRect(0, 0, 0, 0), &view, "Label");
    const CRect natural = text.m_position;
    text.m_position.right = natural.left + 10;  // squeezed by hand
    const CRect squeezed = text.m_position;

    // The same font: no refit, though the box is smaller than the text; only Apply-less sheets.
    {
        Scripted ok(TRUE, [](CObjectSheet& s) {
            ASSERT_NE(s.font, nullptr);
            EXPECT_EQ(s.shape, nullptr);
        });
        EXPECT_TRUE(text.OnEditProperties(&view));
        EXPECT_EQ(ok.flags & 0x80, 0x80u);
    }
    EXPECT_EQ(text.m_position, squeezed);

    // Cancel after a new font and colour: nothing changes.
    auto bigger = [](CObjectSheet& s) {
        s.font->font.lfHeight *= 2;
        s.font->color = RGB(255, 0, 0);
    };
    {
        Scripted cancel(FALSE, bigger);
        EXPECT_FALSE(text.OnEditProperties(&view));
    }
    EXPECT_EQ(text.m_logfont.lfHeight, 256);
    EXPECT_EQ(text.m_textColor, RGB(0, 0, 0));

    // A new font: the box grows to the text where it is smaller.
    {
        Scripted ok(TRUE, bigger);
        EXPECT_TRUE(text.OnEditProperties(&view));
    }
    EXPECT_EQ(text.m_logfont.lfHeight, 512);
    EXPECT_EQ(text.m_textColor, RGB(255, 0, 0));
    EXPECT_GT(text.m_position.Width(), squeezed.Width());
    EXPECT_GT(text.m_position.Height(), squeezed.Height());
}
