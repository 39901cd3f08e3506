#include "framework/dc.h"

#include <vector>

#include <QStringList>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

// v * num / den rounded to the nearest integer (halves upwards), clamped to 32 bits. Computed in
// 128 bits: coordinates and extents may each use the whole 32-bit range.
LONG ScaleRound(std::int64_t v, std::int64_t num, std::int64_t den)
{
    if (den == 0)
        return SaturateInt(v);
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const __int128 n = __int128(2) * v * num + den;
    const __int128 d = __int128(2) * den;
    __int128 q = n / d;
    if (n % d != 0 && n < 0)
        --q;
    if (q < INT32_MIN)
        return INT32_MIN;
    if (q > INT32_MAX)
        return INT32_MAX;
    return LONG(q);
}

// One coordinate into the other space: (v - fromOrg) * toExt / fromExt + toOrg.
LONG MapCoordinate(LONG v, LONG fromOrg, LONG fromExt, LONG toOrg, LONG toExt)
{
    return SaturateInt(std::int64_t(ScaleRound(std::int64_t(v) - fromOrg, toExt, fromExt)) + toOrg);
}

}  // namespace

int CDC::SetMapMode(int mode)
{
    if (mode != MM_TEXT && mode != MM_ANISOTROPIC)
        return 0;
    const int previous = m_s.mapMode;
    m_s.mapMode = mode;
    if (mode == MM_TEXT) {
        m_s.windowExt = CSize(1, 1);
        m_s.viewportExt = CSize(1, 1);
    }
    return previous;
}

CSize CDC::SetWindowExt(int cx, int cy)
{
    const CSize previous = m_s.windowExt;
    if (cx == 0 || cy == 0)
        return CSize();
    if (m_s.mapMode == MM_ANISOTROPIC)
        m_s.windowExt = CSize(cx, cy);
    return previous;
}

CSize CDC::SetViewportExt(int cx, int cy)
{
    const CSize previous = m_s.viewportExt;
    if (cx == 0 || cy == 0)
        return CSize();
    if (m_s.mapMode == MM_ANISOTROPIC)
        m_s.viewportExt = CSize(cx, cy);
    return previous;
}

CPoint CDC::SetWindowOrg(int x, int y)
{
    const CPoint previous = m_s.windowOrg;
    m_s.windowOrg = CPoint(x, y);
    return previous;
}

CPoint CDC::OffsetWindowOrg(int dx, int dy)
{
    return SetWindowOrg(m_s.windowOrg.x + dx, m_s.windowOrg.y + dy);
}

CPoint CDC::SetViewportOrg(int x, int y)
{
    const CPoint previous = m_s.viewportOrg;
    m_s.viewportOrg = CPoint(x, y);
    return previous;
}

CPoint CDC::OffsetViewportOrg(int dx, int dy)
{
    return SetViewportOrg(m_s.viewportOrg.x + dx, m_s.viewportOrg.y + dy);
}

void CDC::LPtoDP(CPoint* points, int count) const
{
    if (!points)
        return;
    for (int i = 0; i < count; ++i) {
        CPoint& p = points[i];
        p.x = MapCoordinate(p.x, m_s.windowOrg.x, m_s.windowExt.cx, m_s.viewportOrg.x,
                            m_s.viewportExt.cx);
        p.y = MapCoordinate(p.y, m_s.windowOrg.y, m_s.windowExt.cy, m_s.viewportOrg.y,
                            m_s.viewportExt.cy);
    }
}

void CDC::DPtoLP(CPoint* points, int count) const
{
    if (!points)
        return;
    for (int i = 0; i < count; ++i) {
        CPoint& p = points[i];
        p.x = MapCoordinate(p.x, m_s.viewportOrg.x, m_s.viewportExt.cx, m_s.windowOrg.x,
                            m_s.windowExt.cx);
        p.y = MapCoordinate(p.y, m_s.viewportOrg.y, m_s.viewportExt.cy, m_s.windowOrg.y,
                            m_s.windowExt.cy);
    }
}

void CDC::LPtoDP(CRect* rect) const
{
    if (!rect)
        return;
    CPoint corners[2] = {rect->TopLeft(), rect->BottomRight()};
    LPtoDP(corners, 2);
    *rect = CRect(corners[0], corners[1]);
}

void CDC::DPtoLP(CRect* rect) const
{
    if (!rect)
        return;
    CPoint corners[2] = {rect->TopLeft(), rect->BottomRight()};
    DPtoLP(corners, 2);
    *rect = CRect(corners[0], corners[1]);
}

void CDC::LPtoDP(CSize* size) const
{
    if (!size)
        return;
    size->cx = ScaleRound(size->cx, m_s.viewportExt.cx, m_s.windowExt.cx);
    size->cy = ScaleRound(size->cy, m_s.viewportExt.cy, m_s.windowExt.cy);
}

void CDC::DPtoLP(CSize* size) const
{
    if (!size)
        return;
    size->cx = ScaleRound(size->cx, m_s.windowExt.cx, m_s.viewportExt.cx);
    size->cy = ScaleRound(size->cy, m_s.windowExt.cy, m_s.viewportExt.cy);
}

int CDC::SaveDC()
{
    m_saved.push_back(m_s);
    return int(m_saved.size());
}

BOOL CDC::RestoreDC(int savedDC)
{
    const int depth = int(m_saved.size());
    const int level = savedDC < 0 ? depth + savedDC + 1 : savedDC;
    if (level < 1 || level > depth)
        return FALSE;
    m_s = m_saved[size_t(level - 1)];
    m_saved.resize(size_t(level - 1));
    ClipChanged();
    return TRUE;
}

CPen* CDC::SelectObject(CPen* pen)
{
    if (!pen || !pen->GetSafeHandle())
        return nullptr;
    CPen* previous = m_s.penObject;
    m_s.penObject = pen;
    m_s.pen = pen->Desc();
    return previous;
}

CBrush* CDC::SelectObject(CBrush* brush)
{
    if (!brush || !brush->GetSafeHandle())
        return nullptr;
    CBrush* previous = m_s.brushObject;
    m_s.brushObject = brush;
    m_s.brush = brush->Desc();
    return previous;
}

CFont* CDC::SelectObject(CFont* font)
{
    if (!font || !font->GetSafeHandle())
        return nullptr;
    CFont* previous = m_s.fontObject;
    m_s.fontObject = font;
    m_s.font = font->Desc();
    return previous;
}

CGdiObject* CDC::SelectObject(CGdiObject* object)
{
    if (!object)
        return nullptr;
    switch (object->GetKind()) {
    case CGdiObject::Kind::Pen: return SelectObject(static_cast<CPen*>(object));
    case CGdiObject::Kind::Brush: return SelectObject(static_cast<CBrush*>(object));
    case CGdiObject::Kind::Font: return SelectObject(static_cast<CFont*>(object));
    }
    return nullptr;
}

void CDC::SetRotation(int tenths, CPoint centre)
{
    m_s.rotation = int(((qint64(tenths) % 3600) + 3600) % 3600);
    m_s.rotationCentre = centre;
}

CGdiObject* CDC::SelectStockObject(int index)
{
    return SelectObject(GetStockObjectPtr(index));
}

CDC::State::State()
    : penObject(static_cast<CPen*>(GetStockObjectPtr(BLACK_PEN))),
      brushObject(static_cast<CBrush*>(GetStockObjectPtr(WHITE_BRUSH))),
      fontObject(static_cast<CFont*>(GetStockObjectPtr(SYSTEM_FONT)))
{
    pen = penObject->Desc();
    brush = brushObject->Desc();
    font = fontObject->Desc();
}

COLORREF CDC::SetTextColor(COLORREF c)
{
    return std::exchange(m_s.textColor, c);
}

COLORREF CDC::SetBkColor(COLORREF c)
{
    return std::exchange(m_s.bkColor, c);
}

int CDC::SetBkMode(int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return std::exchange(m_s.bkMode, mode);
}

CSize CDC::GetTextExtent(const CString& text)
{
    return MeasureText(text);
}

BOOL CDC::GetTextExtentPoint32W(const CString& text, int count, CSize* size)
{
    if (!size || count < 0)
        return FALSE;
    *size = MeasureText(text.left(count));
    return TRUE;
}

BOOL CDC::GetTextMetrics(TEXTMETRICW* metrics)
{
    if (!metrics)
        return FALSE;
    *metrics = MeasureFont();
    return TRUE;
}

BOOL CDC::ExtTextOut(int x, int y, UINT options, const CRect* rect, const CString& text,
                     const int* dx)
{
    CRect r;
    if (rect) {
        r = *rect;
        r.NormalizeRect();
    }
    DrawTextRun(x, y, options, rect ? &r : nullptr, text, dx);
    return TRUE;
}

QStringList CDC::WrapLine(const QString& text, std::int64_t width)
{
    // Breaks fall where the text may break: after a space, between Han characters and the like.
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    const auto fits = [&](qsizetype from, qsizetype to) {
        return MeasureText(text.mid(from, to - from).trimmed()).cx <= width;
    };
    QStringList lines;
    qsizetype start = 0, fitting = -1;  // the longest piece from start that fits ends at fitting
    for (qsizetype at = breaks.toNextBoundary(); at > 0; at = breaks.toNextBoundary()) {
        if (fits(start, at)) {
            fitting = at;
            continue;
        }
        if (fitting > start) {
            lines << text.mid(start, fitting - start).trimmed();
            start = fitting;
            fitting = -1;
            if (fits(start, at)) {
                fitting = at;
                continue;
            }
        }
        // A word wider than the line stands alone.
        lines << text.mid(start, at - start).trimmed();
        start = at;
        fitting = -1;
    }
    if (start < text.size() || lines.isEmpty())
        lines << text.mid(start).trimmed();
    return lines;
}

int CDC::DrawText(const CString& text, CRect* rect, UINT format)
{
    if (!rect)
        return 0;
    QStringList lines;
    if (format & DT_SINGLELINE) {
        QString one = text;
        one.remove(QLatin1Char('\r'));
        one.remove(QLatin1Char('\n'));
        lines << one;
    } else {
        QString all = text;
        all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        all.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        lines = all.split(QLatin1Char('\n'));
        if (format & DT_WORDBREAK) {
            const std::int64_t width = std::int64_t(rect->right) - rect->left;
            QStringList wrapped;
            for (const QString& line : lines)
                wrapped << WrapLine(line, width);
            lines = wrapped;
        }
    }
    const TEXTMETRICW tm = MeasureFont();
    const int lineHeight = tm.tmHeight;
    std::vector<CSize> extents;
    LONG widest = 0;
    for (const QString& line : lines) {
        extents.push_back(MeasureText(line));
        widest = std::max(widest, extents.back().cx);
    }
    const int total = lineHeight * int(lines.size());
    if (format & DT_CALCRECT) {
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        y = SaturateInt(rect->top + (std::int64_t(rect->bottom) - rect->top - lineHeight) / 2);
    const UINT options = (format & DT_NOCLIP) ? 0 : ETO_CLIPPED;
    for (int i = 0; i < int(lines.size()); ++i) {
        int x = rect->left;
        if (format & DT_CENTER)
            x = SaturateInt(rect->left + (std::int64_t(rect->right) - rect->left - extents[size_t(i)].cx) / 2);
        else if (format & DT_RIGHT)
            x = SaturateInt(std::int64_t(rect->right) - extents[size_t(i)].cx);
        if (!lines[i].isEmpty())
            ExtTextOut(x, y, options, rect, lines[i]);
        y += lineHeight;
    }
    return total;
}

QRect CDC::ToDeviceRect(const CRect& logical) const
{
    // No surface comes near this many pixels; a shape reaching further (a stored rectangle may
    // span the whole coordinate range) is cut there, so that a device rectangle's width, height
    // and pen margins are always ints.
    constexpr LONG kReach = 1 << 28;
    CRect r = logical;
    LPtoDP(&r);
    r.NormalizeRect();
    r.SetRect(std::clamp(r.left, -kReach, kReach), std::clamp(r.top, -kReach, kReach),
              std::clamp(r.right, -kReach, kReach), std::clamp(r.bottom, -kReach, kReach));
    return QRect(r.left, r.top, r.Width(), r.Height());
}

QRegion CDC::SurfaceRegion() const
{
    const CSize surface = SurfaceSize();
    return QRegion(0, 0, surface.cx, surface.cy);
}

QRegion CDC::VisibleRegion() const
{
    return m_s.clipped ? SurfaceRegion() & m_s.clip : SurfaceRegion();
}

int CDC::RegionKind(const QRegion& region)
{
    if (region.isEmpty())
        return NULLREGION;
    return region.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int CDC::SetClip(const QRegion& clip)
{
    m_s.clip = clip;
    m_s.clipped = true;
    ClipChanged();
    return RegionKind(VisibleRegion());
}

int CDC::IntersectClipRect(int l, int t, int r, int b)
{
    const QRegion base = m_s.clipped ? m_s.clip : SurfaceRegion();
    return SetClip(base & QRegion(ToDeviceRect(CRect(l, t, r, b))));
}

int CDC::IntersectClipRect(const CRect* rect)
{
    return rect ? IntersectClipRect(rect->left, rect->top, rect->right, rect->bottom) : 0;
}

int CDC::ExcludeClipRect(int l, int t, int r, int b)
{
    const QRegion base = m_s.clipped ? m_s.clip : SurfaceRegion();
    return SetClip(base - QRegion(ToDeviceRect(CRect(l, t, r, b))));
}

int CDC::ExcludeClipRect(const CRect* rect)
{
    return rect ? ExcludeClipRect(rect->left, rect->top, rect->right, rect->bottom) : 0;
}

int CDC::GetClipBox(CRect* rect) const
{
    if (!rect)
        return 0;
    const QRegion visible = VisibleRegion();
    if (visible.isEmpty()) {
        rect->SetRectEmpty();
        return NULLREGION;
    }
    const QRect box = visible.boundingRect();
    CRect r(box.left(), box.top(), box.left() + box.width(), box.top() + box.height());
    DPtoLP(&r);
    r.NormalizeRect();
    *rect = r;
    return RegionKind(visible);
}

int CDC::SelectClipRgn(std::nullptr_t)
{
    m_s.clipped = false;
    m_s.clip = QRegion();
    ClipChanged();
    return RegionKind(VisibleRegion());
}

BOOL CDC::Rectangle(int l, int t, int r, int b)
{
    CRect rc(l, t, r, b);
    rc.NormalizeRect();
    DrawRectangle(rc);
    return TRUE;
}

BOOL CDC::Rectangle(const CRect* rect)
{
    return rect ? Rectangle(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

BOOL CDC::RoundRect(int l, int t, int r, int b, int cornerWidth, int cornerHeight)
{
    CRect rc(l, t, r, b);
    rc.NormalizeRect();
    DrawRoundRect(rc, CPoint(SaturateInt(std::abs(std::int64_t(cornerWidth))),
                             SaturateInt(std::abs(std::int64_t(cornerHeight)))));
    return TRUE;
}

BOOL CDC::RoundRect(const CRect* rect, CPoint corner)
{
    return rect ? RoundRect(rect->left, rect->top, rect->right, rect->bottom, corner.x, corner.y)
                : FALSE;
}

BOOL CDC::Ellipse(int l, int t, int r, int b)
{
    CRect rc(l, t, r, b);
    rc.NormalizeRect();
    DrawEllipse(rc);
    return TRUE;
}

BOOL CDC::Ellipse(const CRect* rect)
{
    return rect ? Ellipse(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

BOOL CDC::Polygon(const CPoint* points, int count)
{
    if (!points || count < 2)
        return FALSE;
    DrawPolygon(points, count);
    return TRUE;
}

CPoint CDC::MoveTo(int x, int y)
{
    return std::exchange(m_s.position, CPoint(x, y));
}

BOOL CDC::LineTo(int x, int y)
{
    const CPoint from = m_s.position;
    m_s.position = CPoint(x, y);
    DrawLine(from, m_s.position);
    return TRUE;
}

void CDC::FillRect(const CRect* rect, CBrush* brush)
{
    if (!rect || !brush || !brush->GetSafeHandle() || brush->Desc().lbStyle == BS_NULL)
        return;
    CRect r = *rect;
    r.NormalizeRect();
    DrawFill(r, brush->Desc().lbColor);
}

void CDC::FillRects(const CRect* rects, int count, CBrush* brush)
{
    if (!rects || count <= 0 || !brush || !brush->GetSafeHandle() || brush->Desc().lbStyle == BS_NULL)
        return;
    std::vector<CRect> normal(rects, rects + count);
    for (CRect& r : normal)
        r.NormalizeRect();
    DrawFills(normal.data(), count, brush->Desc().lbColor);
}

void CDC::DrawFills(const CRect* rects, int count, COLORREF colour)
{
    for (int i = 0; i < count; ++i)
        DrawFill(rects[i], colour);
}

void CDC::FillSolidRect(const CRect* rect, COLORREF colour)
{
    SetBkColor(colour);
    if (!rect)
        return;
    CRect r = *rect;
    r.NormalizeRect();
    DrawFill(r, colour);
}

void CDC::InvertRect(const CRect* rect)
{
    if (!rect)
        return;
    CRect r = *rect;
    r.NormalizeRect();
    DrawInvert(r);
}

void CDC::DrawFocusRect(const CRect* rect)
{
    if (!rect)
        return;
    CRect r = *rect;
    r.NormalizeRect();
    DrawFocus(r);
}

BOOL CDC::DrawImage(const CRect& rect, const QImage& image)
{
    if (image.isNull())
        return FALSE;
    DrawPicture(rect, image);
    return TRUE;
}

BOOL CDC::DrawImage(const CRect& rect, const QSize& pixels, const PictureRenderer& render)
{
    if (pixels.isEmpty() || !render)
        return FALSE;
    const QRect whole = ToDeviceRect(rect);
    if (whole.isEmpty())
        return TRUE;
    // Never more pixels than the picture has, nor than the device shows it with.
    auto shown = [](int pixelCount, long long devicePixels) {
        return int(std::clamp<long long>(devicePixels, 1, pixelCount));
    };
    QRect part(QPoint(0, 0), pixels);
    QSize size(shown(pixels.width(), whole.width()), shown(pixels.height(), whole.height()));
    CRect target = rect;
    // A turned context turns the picture but not the clip region: it is drawn whole.
    if ((long long)size.width() * size.height() > kMaxWholePicturePixels && m_s.rotation == 0) {
        const QRect box = whole & VisibleRegion().boundingRect();
        if (box.isEmpty())
            return TRUE;
        CRect visible(box.left(), box.top(), box.left() + box.width(), box.top() + box.height());
        DPtoLP(&visible);
        visible.NormalizeRect();
        // The picture's pixels under a visible logical span of an edge from `from` to `to`
        // (either way round), one more on each side for the rounding.
        auto span = [](LONG a, LONG b, LONG from, LONG to, int count, int& first, int& last) {
            const double length = double(to) - double(from);
            double t0 = (double(a) - from) / length * count;
            double t1 = (double(b) - from) / length * count;
            if (t0 > t1)
                std::swap(t0, t1);
            first = int(std::clamp(std::floor(t0) - 1, 0.0, double(count)));
            last = int(std::clamp(std::ceil(t1) + 1, 0.0, double(count)));
        };
        int x0, x1, y0, y1;
        span(visible.left, visible.right, rect.left, rect.right, pixels.width(), x0, x1);
        span(visible.top, visible.bottom, rect.top, rect.bottom, pixels.height(), y0, y1);
        if (x0 >= x1 || y0 >= y1)
            return TRUE;
        auto at = [](LONG from, LONG to, int index, int count) {
            return SaturateInt(std::llround(double(from) + (double(to) - from) * index / count));
        };
        target = CRect(at(rect.left, rect.right, x0, pixels.width()), at(rect.top, rect.bottom, y0, pixels.height()),
                       at(rect.left, rect.right, x1, pixels.width()), at(rect.top, rect.bottom, y1, pixels.height()));
        part = QRect(x0, y0, x1 - x0, y1 - y0);
        const QRect device = ToDeviceRect(target);
        size = QSize(shown(part.width(), device.width()), shown(part.height(), device.height()));
    }
    const QImage image = render(part, size);
    if (image.isNull())
        return FALSE;
    DrawPicture(target, image);
    return TRUE;
}

void CDC::ReportOmission(const CString& what)
{
    // A label of many broken pictures is told by its first ones, and that there were more.
    constexpr qsizetype kMaxTold = 20;
    static const CString more = QStringLiteral("\u2026");
    if (what.isEmpty() || m_omissions.contains(what) || m_omissions.contains(more))
        return;
    m_omissions.append(m_omissions.size() < kMaxTold ? what : more);
}

int CDC::GetDeviceCaps(int index) const
{
    return DeviceCapability(index);
}

int CDC::DevicePenWidth(const LOGPEN& pen) const
{
    if (pen.lopnWidth.x <= 0)
        return 1;
    CSize s(pen.lopnWidth.x, 0);
    LPtoDP(&s);
    return std::max<LONG>(1, SaturatedAbs(s.cx));
}
