#include "framework/recordingdc.h"

#include <cstdlib>

CRecordingDC::CRecordingDC(CSize deviceSize, int dpi, bool printing)
    : CDC(printing), m_size(deviceSize), m_dpiX(dpi), m_dpiY(dpi), m_physical(deviceSize)
{
}

int CRecordingDC::DeviceCapability(int index) const
{
    switch (index) {
    case HORZRES: return m_size.cx;
    case VERTRES: return m_size.cy;
    case LOGPIXELSX: return m_dpiX;
    case LOGPIXELSY: return m_dpiY;
    case PHYSICALWIDTH: return m_physical.cx;
    case PHYSICALHEIGHT: return m_physical.cy;
    case PHYSICALOFFSETX: return m_offset.x;
    case PHYSICALOFFSETY: return m_offset.y;
    default: return 0;
    }
}

int CRecordingDC::FontHeight() const
{
    const LONG h = CurrentState().font.lfHeight;
    if (h != 0)
        return std::abs(h);
    CSize s(0, 16);
    DPtoLP(&s);
    return std::abs(s.cy);
}

int CRecordingDC::AverageWidth() const
{
    const LONG w = CurrentState().font.lfWidth;
    return w != 0 ? std::abs(w) : FontHeight() / 2;
}

int CRecordingDC::CharWidth(char16_t c, int a)
{
    // A tab is the font's glyph for U+0009, as wide as a space.
    static const char16_t narrow[] = u" \t.,:;'!|()[]-/fijltI1";
    for (const char16_t* n = narrow; *n; ++n) {
        if (*n == c)
            return a / 2;
    }
    if (c == u'M' || c == u'W' || c == u'm' || c == u'w' || c == u'@' || c >= 0x2E80)
        return 2 * a;
    return a;
}

TEXTMETRICW CRecordingDC::MeasureFont()
{
    TEXTMETRICW tm;
    const int h = FontHeight();
    tm.tmHeight = h;
    tm.tmDescent = h / 5;
    tm.tmAscent = h - tm.tmDescent;
    tm.tmAveCharWidth = AverageWidth();
    tm.tmMaxCharWidth = 2 * tm.tmAveCharWidth;
    tm.tmWeight = CurrentState().font.lfWeight > 0 ? CurrentState().font.lfWeight : FW_NORMAL;
    return tm;
}

CSize CRecordingDC::MeasureText(const CString& text)
{
    const int a = AverageWidth();
    LONG width = 0;
    for (QChar c : text)
        width += CharWidth(char16_t(c.unicode()), a);
    return CSize(width, FontHeight());
}

CRecordedPrimitive& CRecordingDC::Record(CRecordedPrimitive::Kind kind)
{
    const State& s = CurrentState();
    CRecordedPrimitive rec;
    rec.kind = kind;
    rec.pen = s.pen;
    rec.brush = s.brush;
    rec.font = s.font;
    rec.textColor = s.textColor;
    rec.bkColor = s.bkColor;
    rec.bkMode = s.bkMode;
    rec.clipped = s.clipped;
    rec.rotation = s.rotation;
    rec.rotationCentre = s.rotationCentre;
    GetClipBox(&rec.clipBox);
    records.push_back(std::move(rec));
    return records.back();
}

void CRecordingDC::DrawRectangle(const CRect& r)
{
    Record(CRecordedPrimitive::Kind::Rectangle).rect = r;
}

void CRecordingDC::DrawRoundRect(const CRect& r, CPoint corner)
{
    auto& rec = Record(CRecordedPrimitive::Kind::RoundRect);
    rec.rect = r;
    rec.corner = corner;
}

void CRecordingDC::DrawEllipse(const CRect& r)
{
    Record(CRecordedPrimitive::Kind::Ellipse).rect = r;
}

void CRecordingDC::DrawPolygon(const CPoint* points, int count)
{
    Record(CRecordedPrimitive::Kind::Polygon).points.assign(points, points + count);
}

void CRecordingDC::DrawLine(const CPoint& from, const CPoint& to)
{
    Record(CRecordedPrimitive::Kind::Line).points = {from, to};
}

void CRecordingDC::DrawFill(const CRect& r, COLORREF colour)
{
    auto& rec = Record(CRecordedPrimitive::Kind::Fill);
    rec.rect = r;
    rec.colour = colour;
}

void CRecordingDC::DrawInvert(const CRect& r)
{
    Record(CRecordedPrimitive::Kind::Invert).rect = r;
}

void CRecordingDC::DrawFocus(const CRect& r)
{
    Record(CRecordedPrimitive::Kind::FocusRect).rect = r;
}

void CRecordingDC::DrawPicture(const CRect& r, const QImage& image)
{
    auto& rec = Record(CRecordedPrimitive::Kind::Image);
    rec.rect = r;
    rec.image = image;
}

void CRecordingDC::DrawTextRun(int x, int y, UINT options, const CRect* rect, const CString& text,
                               const int* dx)
{
    auto& rec = Record(CRecordedPrimitive::Kind::Text);
    rec.points = {CPoint(x, y)};
    rec.options = options;
    rec.hasRect = rect != nullptr;
    if (rect)
        rec.rect = *rect;
    rec.text = text;
    if (dx)
        rec.dx.assign(dx, dx + text.size());
}
