// What a text does with its property sheet, with a scripted runner in place of the dialogs (the
// sheets themselves are driven through their widgets in the application's tests).

#include "document/drawdoc.h"
#include "framework/resourcemodule.h"
#include "objects/drawtext.h"
#include "support/fakeview.h"
#include "support/scriptedsheets.h"

#include <gtest/gtest.h>


TEST(ObjectSheet, TextRefitsOnlyWhenItsFontChanged)
{
    CResourceModule::Get().Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU"));
    CFakeDrawView view;
    CDrawText text(CRect(0, 0, 0, 0), &view, "Label");
    text.m_position.right = text.m_position.left + 10;  // squeezed by hand
    const CRect squeezed = text.m_position;

    // The same font: no refit, though the box is smaller than the text.
    {
        ScriptedSheets ok(TRUE, [](CObjectSheet& s) {
            ASSERT_NE(s.font, nullptr);
            EXPECT_EQ(s.shape, nullptr);
        });
        EXPECT_TRUE(text.OnEditProperties(&view));
    }
    EXPECT_EQ(text.m_position, squeezed);

    // Cancel after a new font and colour: nothing changes.
    auto bigger = [](CObjectSheet& s) {
        s.font->font.lfHeight *= 2;
        s.font->color = RGB(255, 0, 0);
    };
    {
        ScriptedSheets cancel(FALSE, bigger);
        EXPECT_FALSE(text.OnEditProperties(&view));
    }
    EXPECT_EQ(text.m_logfont.lfHeight, 256);
    EXPECT_EQ(text.m_textColor, RGB(0, 0, 0));

    // A new font: the box grows to the text where it is smaller.
    {
        ScriptedSheets ok(TRUE, bigger);
        EXPECT_TRUE(text.OnEditProperties(&view));
    }
    EXPECT_EQ(text.m_logfont.lfHeight, 512);
    EXPECT_EQ(text.m_textColor, RGB(255, 0, 0));
    EXPECT_GT(text.m_position.Width(), squeezed.Width());
    EXPECT_GT(text.m_position.Height(), squeezed.Height());

    // Turned a quarter, the box grows along the turned text, from the corner where it begins.
    CDrawText turned(CRect(0, 0, 0, 0), &view, "Label");
    turned.Rotate90();
    const CPoint start(turned.m_position.left, turned.m_position.bottom);
    {
        ScriptedSheets ok(TRUE, bigger);
        EXPECT_TRUE(turned.OnEditProperties(&view));
    }
    EXPECT_EQ(turned.m_position.Width(), text.m_position.Height());
    EXPECT_EQ(turned.m_position.Height(), text.m_position.Width());
    EXPECT_NEAR(turned.m_position.left, start.x, 1);
    EXPECT_NEAR(turned.m_position.bottom, start.y, 1);
}
