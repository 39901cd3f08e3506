#include "framework/painterdc.h"

#include <QTransform>

#include <QFontMetricsF>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>
#include <QPagedPaintDevice>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

QColor Colour(COLORREF c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Proportions of a face per pixel of em size, measured once at a large size so that rounding
// does not spoil them.
struct FaceProportions {
    double ascent = 0.9;
    double descent = 0.2;
    double average = 0.5;
    double maxWidth = 1.0;
};

FaceProportions ProportionsOf(const QFont& font)
{
    static thread_local QHash<QString, FaceProportions> cache;
    const QString key = font.family() + QLatin1Char('|') + QString::number(int(font.weight())) +
                        QLatin1Char('|') + QString::number(int(font.italic()));
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    QFont big(font);
    big.setPixelSize(1000);
    big.setUnderline(false);
    big.setStrikeOut(false);
    const QFontMetricsF fm(big);
    FaceProportions p;
    if (fm.ascent() + fm.descent() > 0) {
        p.ascent = fm.ascent() / 1000.0;
        p.descent = fm.descent() / 1000.0;
        p.average = std::max(1.0, fm.averageCharWidth()) / 1000.0;
        p.maxWidth = std::max(1.0, fm.maxWidth()) / 1000.0;
    }
    cache.insert(key, p);
    return p;
}

// Largest em size asked of the font engine; larger requests are device nonsense.
constexpr int kMaxPixelSize = 16384;

// A tab in a run of text is an ordinary character of the font: its glyph for U+0009, which the
// faces here map to their space glyph. Qt would lay it out to the next tab stop instead, wider
// than a whole line of small text, so it is measured and drawn as the space it shows.
QString TabsAsGlyphs(const QString& text)
{
    if (!text.contains(QLatin1Char('\t')))
        return text;
    QString out = text;
    out.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return out;
}

}  // namespace

CPainterDC::CPainterDC(QPaintDevice* device, bool printing) : CDC(printing), m_device(device)
{
    if (device) {
        m_painter = new QPainter;
        m_ownPainter = true;
        m_painter->begin(device);
    }
    Init();
}

CPainterDC::CPainterDC(QPainter* painter, bool printing) : CDC(printing), m_painter(painter)
{
    if (painter) {
        m_device = painter->device();
        painter->save();
    }
    Init();
}

void CPainterDC::Init()
{
    if (!m_painter || !m_painter->isActive())
        return;
    m_painter->resetTransform();
    m_painter->setClipping(false);
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setRenderHint(QPainter::TextAntialiasing, true);
    m_painter->setBackgroundMode(Qt::TransparentMode);
    m_drawnAgainScaled = m_painter->paintEngine() && m_painter->paintEngine()->type() == QPaintEngine::Picture;
}

CPainterDC::~CPainterDC()
{
    if (!m_painter)
        return;
    if (m_ownPainter) {
        if (m_painter->isActive())
            m_painter->end();
        delete m_painter;
    } else if (m_painter->isActive()) {
        m_painter->restore();
    }
}

bool CPainterDC::Ready()
{
    if (!m_painter || !m_painter->isActive())
        return false;
    // The clip region is in device pixels: it is set without the turn.
    if (m_appliedClip != ClipGeneration()) {
        m_appliedClip = ClipGeneration();
        m_painter->setWorldTransform(QTransform());
        if (CurrentState().clipped)
            m_painter->setClipRegion(CurrentState().clip, Qt::ReplaceClip);
        else
            m_painter->setClipping(false);
    }
    QTransform world;
    if (const int turn = CurrentState().rotation) {
        CPoint c = CurrentState().rotationCentre;
        LPtoDP(&c);
        world.translate(c.x, c.y);
        world.rotate(-turn / 10.0);
        world.translate(-c.x, -c.y);
    }
    if (m_painter->worldTransform() != world)
        m_painter->setWorldTransform(world);
    return true;
}

CSize CPainterDC::SurfaceSize() const
{
    return m_device ? CSize(m_device->width(), m_device->height()) : CSize();
}

int CPainterDC::DeviceCapability(int index) const
{
    if (!m_device)
        return 0;
    const auto* paged = dynamic_cast<const QPagedPaintDevice*>(m_device);
    const int dpi = m_device->logicalDpiX();
    switch (index) {
    case HORZRES: return m_device->width();
    case VERTRES: return m_device->height();
    case LOGPIXELSX: return m_device->logicalDpiX();
    case LOGPIXELSY: return m_device->logicalDpiY();
    case PHYSICALWIDTH: return paged ? paged->pageLayout().fullRectPixels(dpi).width() : m_device->width();
    case PHYSICALHEIGHT: return paged ? paged->pageLayout().fullRectPixels(dpi).height() : m_device->height();
    case PHYSICALOFFSETX: return paged ? paged->pageLayout().paintRectPixels(dpi).left() : 0;
    case PHYSICALOFFSETY: return paged ? paged->pageLayout().paintRectPixels(dpi).top() : 0;
    default: return 0;
    }
}

const CPainterDC::RealFont& CPainterDC::Realise()
{
    const State& s = CurrentState();
    if (m_realValid && std::memcmp(&m_realFor, &s.font, sizeof(LOGFONTW)) == 0 &&
        m_realExt[0] == s.windowExt && m_realExt[1] == s.viewportExt)
        return m_real;
    const LOGFONTW& lf = s.font;
    RealFont r;
    r.font = QFont(SubstituteFaceName(FaceNameOf(lf)));
    const int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::clamp<int>(lf.lfWeight, 1, 1000);
    r.font.setWeight(QFont::Weight(weight));
    r.font.setItalic(lf.lfItalic != 0);
    r.font.setUnderline(lf.lfUnderline != 0);
    r.font.setStrikeOut(lf.lfStrikeOut != 0);
    r.font.setKerning(false);
    r.font.setHintingPreference(QFont::PreferNoHinting);
    const FaceProportions p = ProportionsOf(r.font);
    const double cellPerEm = p.ascent + p.descent;

    // A positive height asks for the character cell, a negative one for the em size.
    int em = 0;
    int cell = 0;
    if (lf.lfHeight == 0) {
        const int dpi = m_device ? m_device->logicalDpiY() : 96;
        em = std::max(1, dpi * 12 / 72);
        cell = std::max(1, int(std::lround(em * cellPerEm)));
    } else {
        CSize h(0, lf.lfHeight);
        LPtoDP(&h);
        const int px = std::clamp<int>(SaturatedAbs(h.cy), 1, kMaxPixelSize);
        if (lf.lfHeight > 0) {
            cell = px;
            em = std::clamp(int(std::lround(px / cellPerEm)), 1, kMaxPixelSize);
        } else {
            em = px;
            cell = std::max(1, int(std::lround(px * cellPerEm)));
        }
    }
    r.font.setPixelSize(em);
    r.height = cell;
    r.ascent = int(std::lround(cell * p.ascent / cellPerEm));
    r.internalLeading = std::max(0, cell - em);
    const double natural = em * p.average;
    if (lf.lfWidth != 0) {
        CSize w(SaturatedAbs(lf.lfWidth), 0);
        LPtoDP(&w);
        r.averageWidth = std::clamp<int>(SaturatedAbs(w.cx), 1, kMaxPixelSize);
        r.stretch = r.averageWidth / natural;
    } else {
        r.averageWidth = std::max(1, int(std::lround(natural)));
    }
    r.maxWidth = std::max(1, int(std::lround(em * p.maxWidth * r.stretch)));
    r.angle = lf.lfEscapement / 10.0;

    m_real = r;
    m_realFor = lf;
    m_realExt[0] = s.windowExt;
    m_realExt[1] = s.viewportExt;
    m_realValid = true;
    return m_real;
}

const CPainterDC::ShapedRun& CPainterDC::Shape(const QFont& font, const QString& text) const
{
    // A bound on what the runs may hold: a long job keeps meeting the same few runs.
    constexpr qsizetype kShapedRuns = 4096;
    auto& runs = m_shaped[font];
    if (const auto it = runs.constFind(text); it != runs.constEnd())
        return it.value();
    if (m_shapedCount >= kShapedRuns) {
        m_shaped.clear();
        m_shapedCount = 0;
        return Shape(font, text);
    }
    QTextLayout layout(text, font, m_device);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    ShapedRun run;
    if (line.isValid()) {
        run.glyphs = line.glyphRuns();
        run.ascent = line.ascent();
        run.advance = line.horizontalAdvance();
    }
    // Lines under and through the text are drawn with the run (DrawTextRun), not by the glyphs.
    for (QGlyphRun& glyphs : run.glyphs) {
        glyphs.setUnderline(false);
        glyphs.setStrikeOut(false);
        glyphs.setOverline(false);
    }
    ++m_shapedCount;
    return *runs.insert(text, std::move(run));
}

double CPainterDC::Advance(const RealFont& f, const QString& text) const
{
    return Shape(f.font, TabsAsGlyphs(text)).advance * f.stretch;
}

TEXTMETRICW CPainterDC::MeasureFont()
{
    const RealFont& f = Realise();
    auto toLogicalY = [this](int v) {
        CSize s(0, v);
        DPtoLP(&s);
        return SaturatedAbs(s.cy);
    };
    auto toLogicalX = [this](int v) {
        CSize s(v, 0);
        DPtoLP(&s);
        return SaturatedAbs(s.cx);
    };
    TEXTMETRICW tm;
    tm.tmHeight = toLogicalY(f.height);
    tm.tmAscent = toLogicalY(f.ascent);
    tm.tmDescent = tm.tmHeight - tm.tmAscent;
    tm.tmInternalLeading = toLogicalY(f.internalLeading);
    tm.tmAveCharWidth = toLogicalX(f.averageWidth);
    tm.tmMaxCharWidth = toLogicalX(f.maxWidth);
    tm.tmWeight = CurrentState().font.lfWeight > 0 ? CurrentState().font.lfWeight : FW_NORMAL;
    return tm;
}

CSize CPainterDC::MeasureText(const CString& text)
{
    const RealFont& f = Realise();
    CSize s(LONG(std::lround(Advance(f, text))), f.height);
    DPtoLP(&s);
    return CSize(SaturatedAbs(s.cx), SaturatedAbs(s.cy));
}

CPainterDC::PenSpec CPainterDC::CurrentPen() const
{
    const LOGPEN& lp = CurrentState().pen;
    PenSpec pen;
    const UINT style = lp.lopnStyle & 0x0F;
    pen.none = style == PS_NULL;
    pen.insideFrame = style == PS_INSIDEFRAME;
    pen.width = DevicePenWidth(lp);
    pen.colour = Colour(lp.lopnColor);
    // Styled lines exist only for thin pens; a wider styled pen draws solid.
    if (lp.lopnWidth.x <= 1) {
        if (style == PS_DOT)
            pen.pattern = {3, 3};
        else if (style == PS_DASH)
            pen.pattern = {18, 6};
        if (!pen.pattern.isEmpty())
            pen.width = 1;
    }
    return pen;
}

bool CPainterDC::HasRasterOps() const
{
    return m_painter && m_painter->paintEngine() &&
           m_painter->paintEngine()->hasFeature(QPaintEngine::RasterOpModes) &&
           m_painter->paintEngine()->type() == QPaintEngine::Raster;
}

// One pixel-wide horizontal and vertical segments are set pixel by pixel (as runs), so that the
// pixels are exact on every device; everything else goes through the painter's stroker. The
// end point is not drawn.
void CPainterDC::StrokeSegment(QPoint a, QPoint b, const PenSpec& pen)
{
    if (pen.none || a == b)
        return;
    const bool opaque = CurrentState().bkMode == OPAQUE;
    if (pen.width == 1 && !m_drawnAgainScaled && (a.x() == b.x() || a.y() == b.y())) {
        const int length = SaturateInt(std::int64_t(SaturatedAbs(std::int64_t(b.x()) - a.x())) +
                                        SaturatedAbs(std::int64_t(b.y()) - a.y()));
        const int sx = b.x() > a.x() ? 1 : (b.x() < a.x() ? -1 : 0);
        const int sy = b.y() > a.y() ? 1 : (b.y() < a.y() ? -1 : 0);
        const QColor bk = Colour(CurrentState().bkColor);
        auto run = [&](int from, int to, const QColor& c) {  // pixels [from, to) along the line
            if (to <= from)
                return;
            const QPoint p0 = a + QPoint(sx * from, sy * from);
            const QPoint p1 = a + QPoint(sx * (to - 1), sy * (to - 1));
            m_painter->fillRect(QRect(p0, p1).normalized(), c);
        };
        if (pen.pattern.isEmpty()) {
            run(0, length, pen.colour);
            return;
        }
        int pos = 0;
        int k = 0;
        while (pos < length) {
            const int n = int(pen.pattern[k % pen.pattern.size()]);
            const int end = std::min(length, pos + n);
            if (k % 2 == 0)
                run(pos, end, pen.colour);
            else if (opaque)
                run(pos, end, bk);
            pos = end;
            ++k;
        }
        return;
    }
    QPainterPath path(QPointF(a) + QPointF(0.5, 0.5));
    path.lineTo(QPointF(b) + QPointF(0.5, 0.5));
    StrokePath(path, pen);
}

void CPainterDC::StrokePath(const QPainterPath& path, const PenSpec& pen)
{
    if (pen.none)
        return;
    QPen qp(pen.colour, pen.width, Qt::SolidLine, pen.width > 1 ? Qt::RoundCap : Qt::FlatCap,
            pen.width > 1 ? Qt::RoundJoin : Qt::MiterJoin);
    m_painter->setBrush(Qt::NoBrush);
    if (!pen.pattern.isEmpty()) {
        if (CurrentState().bkMode == OPAQUE) {
            QPen under(qp);
            under.setColor(Colour(CurrentState().bkColor));
            m_painter->setPen(under);
            m_painter->drawPath(path);
        }
        qp.setDashPattern(pen.pattern);
    }
    m_painter->setPen(qp);
    m_painter->drawPath(path);
    if (m_drawnAgainScaled)
        StrokeHairline(path, pen);
}

void CPainterDC::FillShape(const QPainterPath& path)
{
    const LOGBRUSH& b = CurrentState().brush;
    if (b.lbStyle == BS_NULL)
        return;
    m_painter->setPen(Qt::NoPen);
    m_painter->setBrush(Colour(b.lbColor));
    m_painter->drawPath(path);
    m_painter->setBrush(Qt::NoBrush);
}

void CPainterDC::DrawRectangle(const CRect& r)
{
    if (!Ready())
        return;
    const QRect d = ToDeviceRect(r);
    const PenSpec pen = CurrentPen();
    const LOGBRUSH& brush = CurrentState().brush;
    if (pen.none) {
        if (brush.lbStyle != BS_NULL && d.width() > 1 && d.height() > 1)
            m_painter->fillRect(d.adjusted(0, 0, -1, -1), Colour(brush.lbColor));
        return;
    }
    const int w = pen.width;
    // The outline's outer edge: on the rectangle for an inside-frame pen, else centred on it.
    const QRect outer = pen.insideFrame || w == 1
                            ? d
                            : d.adjusted(-(w - 1) / 2, -(w - 1) / 2, w / 2, w / 2);
    const QRect inner = outer.adjusted(w, w, -w, -w);
    if (brush.lbStyle != BS_NULL && inner.isValid())
        m_painter->fillRect(inner, Colour(brush.lbColor));
    if (outer.isEmpty())
        return;
    if (pen.pattern.isEmpty()) {
        if (m_drawnAgainScaled) {
            StrokeBand(outer, pen);
            return;
        }
        if (!inner.isValid()) {
            m_painter->fillRect(outer, pen.colour);
            return;
        }
        m_painter->fillRect(QRect(outer.left(), outer.top(), outer.width(), w), pen.colour);
        m_painter->fillRect(QRect(outer.left(), outer.bottom() - w + 1, outer.width(), w), pen.colour);
        m_painter->fillRect(QRect(outer.left(), inner.top(), w, inner.height()), pen.colour);
        m_painter->fillRect(QRect(inner.right() + 1, inner.top(), w, inner.height()), pen.colour);
        return;
    }
    const QPoint tl = outer.topLeft();
    const QPoint tr = outer.topRight();
    const QPoint br = outer.bottomRight();
    const QPoint bl = outer.bottomLeft();
    StrokeSegment(tl, tr, pen);
    StrokeSegment(tr, br, pen);
    StrokeSegment(br, bl, pen);
    StrokeSegment(bl, tl, pen);
}

void CPainterDC::StrokeBand(const QRect& outer, const PenSpec& pen)
{
    // A rectangle with no inside left within its outline is filled whole: the fill of the
    // rectangle half a pixel in, with a stroke of one pixel round it.
    const int w = pen.width;
    const bool whole = outer.width() <= 2 * w || outer.height() <= 2 * w;
    const double inset = whole ? 0.5 : w / 2.0;
    QPainterPath path;
    path.addRect(QRectF(outer).adjusted(inset, inset, -inset, -inset));
    m_painter->setBrush(whole ? QBrush(pen.colour) : QBrush(Qt::NoBrush));
    m_painter->setPen(QPen(pen.colour, whole ? 1 : w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    m_painter->drawPath(path);
    m_painter->setBrush(Qt::NoBrush);
    StrokeHairline(path, pen);
}

void CPainterDC::StrokeHairline(const QPainterPath& path, const PenSpec& pen)
{
    // Where the picture is shown so small that a pen is thinner than a pixel, the pen is drawn
    // one pixel wide but only as opaque as it is thick. A line one pixel wide at every scale
    // goes along with it: in full colour where the pen is that thin, and hidden under the
    // pen's own stroke where that is wider.
    QPen hair(pen.colour, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    if (!pen.pattern.isEmpty())
        hair.setDashPattern(pen.pattern);
    m_painter->setBrush(Qt::NoBrush);
    m_painter->setPen(hair);
    m_painter->drawPath(path);
}

namespace {

// Geometry of a shape's outline through pixel centres: the pixel at column i covers [i, i + 1).
QRectF OutlineRect(const QRect& d, bool noPen, bool insideFrame, int w)
{
    if (noPen)
        return QRectF(d.left(), d.top(), d.width() - 1, d.height() - 1);
    if (insideFrame && w > 1)
        return QRectF(d.left() + w / 2.0, d.top() + w / 2.0, d.width() - w, d.height() - w);
    return QRectF(d.left() + 0.5, d.top() + 0.5, d.width() - 1, d.height() - 1);
}

}  // namespace

void CPainterDC::DrawRoundRect(const CRect& r, CPoint corner)
{
    if (!Ready())
        return;
    const QRect d = ToDeviceRect(r);
    const PenSpec pen = CurrentPen();
    CSize c(corner.x, corner.y);
    LPtoDP(&c);
    const QRectF box = OutlineRect(d, pen.none, pen.insideFrame, pen.width);
    const qreal rx = std::min<qreal>(std::abs(qreal(c.cx)) / 2.0, box.width() / 2);
    const qreal ry = std::min<qreal>(std::abs(qreal(c.cy)) / 2.0, box.height() / 2);
    QPainterPath path;
    path.addRoundedRect(box, rx, ry);
    FillShape(path);
    StrokePath(path, pen);
}

void CPainterDC::DrawEllipse(const CRect& r)
{
    if (!Ready())
        return;
    const QRect d = ToDeviceRect(r);
    const PenSpec pen = CurrentPen();
    QPainterPath path;
    path.addEllipse(OutlineRect(d, pen.none, pen.insideFrame, pen.width));
    FillShape(path);
    StrokePath(path, pen);
}

void CPainterDC::DrawPolygon(const CPoint* points, int count)
{
    if (!Ready())
        return;
    QPolygonF poly;
    poly.reserve(count + 1);
    for (int i = 0; i < count; ++i) {
        CPoint p = points[i];
        LPtoDP(&p);
        poly << QPointF(p.x + 0.5, p.y + 0.5);
    }
    poly << poly.first();
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addPolygon(poly);
    path.closeSubpath();
    FillShape(path);
    StrokePath(path, CurrentPen());
}

void CPainterDC::DrawLine(const CPoint& from, const CPoint& to)
{
    if (!Ready())
        return;
    CPoint ends[2] = {from, to};
    LPtoDP(ends, 2);
    StrokeSegment(QPoint(ends[0].x, ends[0].y), QPoint(ends[1].x, ends[1].y), CurrentPen());
}

void CPainterDC::DrawFill(const CRect& r, COLORREF colour)
{
    if (!Ready())
        return;
    m_painter->fillRect(ToDeviceRect(r), Colour(colour));
}

void CPainterDC::DrawFills(const CRect* rects, int count, COLORREF colour)
{
    if (!Ready())
        return;
    // One fill of all of them: a single graphics state, and on a PDF page one path.
    QVector<QRect> device;
    device.reserve(count);
    for (int i = 0; i < count; ++i)
        if (const QRect d = ToDeviceRect(rects[i]); !d.isEmpty())
            device.append(d);
    // Every primitive sets the pen and brush it draws with.
    m_painter->setPen(Qt::NoPen);
    m_painter->setBrush(Colour(colour));
    m_painter->drawRects(device.constData(), int(device.size()));
}

void CPainterDC::DrawInvert(const CRect& r)
{
    if (!Ready() || !HasRasterOps())
        return;
    m_painter->save();
    m_painter->setCompositionMode(QPainter::RasterOp_NotDestination);
    m_painter->fillRect(ToDeviceRect(r), Qt::black);
    m_painter->restore();
}

void CPainterDC::DrawFocus(const CRect& r)
{
    if (!Ready())
        return;
    const QRect d = ToDeviceRect(r);
    if (d.isEmpty())
        return;
    if (!HasRasterOps()) {
        PenSpec pen;
        pen.colour = Qt::black;
        pen.pattern = {1, 1};
        StrokeSegment(d.topLeft(), d.topRight(), pen);
        StrokeSegment(d.topRight(), d.bottomRight(), pen);
        StrokeSegment(d.bottomRight(), d.bottomLeft(), pen);
        StrokeSegment(d.bottomLeft(), d.topLeft(), pen);
        return;
    }
    // Every other pixel of the frame is inverted, so drawing it twice takes it away.
    m_painter->save();
    m_painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    auto dot = [this](int x, int y) {
        if ((x + y) % 2 == 0)
            m_painter->fillRect(QRect(x, y, 1, 1), Qt::white);
    };
    for (int x = d.left(); x <= d.right(); ++x) {
        dot(x, d.top());
        if (d.bottom() != d.top())
            dot(x, d.bottom());
    }
    for (int y = d.top() + 1; y < d.bottom(); ++y) {
        dot(d.left(), y);
        if (d.right() != d.left())
            dot(d.right(), y);
    }
    m_painter->restore();
}

void CPainterDC::DrawPicture(const CRect& r, const QImage& image)
{
    if (!Ready())
        return;
    CRect d = r;
    LPtoDP(&d);
    const bool mirrorX = d.right < d.left;
    const bool mirrorY = d.bottom < d.top;
    const QRect target = ToDeviceRect(r);
    if (target.isEmpty())
        return;
    // Pixels are repeated or dropped, never blended, as a stretched bitmap is on the original
    // platform; bar codes in pictures stay sharp.
    m_painter->save();
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_painter->drawImage(target,
                         mirrorX || mirrorY ? image.mirrored(mirrorX, mirrorY) : image);
    m_painter->restore();
}

void CPainterDC::DrawTextRun(int x, int y, UINT options, const CRect* rect, const CString& typed,
                             const int* dx)
{
    if (!Ready())
        return;
    const QString text = TabsAsGlyphs(typed);
    const RealFont& f = Realise();
    const State& s = CurrentState();
    // The context's turn, which the run's own placement and escapement go under.
    const QTransform turn = m_painter->worldTransform();
    // The painter keeps no transform between primitives; only a clipped run needs its state
    // saved, so that runs after runs do not change the graphics state of a PDF page each time.
    const bool clipped = rect && (options & ETO_CLIPPED);
    if (clipped)
        m_painter->save();
    if (rect) {
        const QRect d = ToDeviceRect(*rect);
        if (options & ETO_OPAQUE)
            m_painter->fillRect(d, Colour(s.bkColor));
        if (clipped)
            m_painter->setClipRect(d, s.clipped ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    // Character positions along the baseline in device pixels, from the spacing array when given.
    std::vector<double> at;
    double width = 0;
    if (dx) {
        LONG sum = 0;
        for (int i = 0; i < int(text.size()); ++i) {
            CSize off(sum, 0);
            LPtoDP(&off);
            at.push_back(off.cx);
            sum += dx[i];
        }
        CSize total(sum, 0);
        LPtoDP(&total);
        width = total.cx;
    } else if (s.bkMode == OPAQUE) {
        // Only an opaque background needs the width before the text is drawn.
        width = std::lround(Advance(f, text));
    }
    CPoint origin(x, y);
    LPtoDP(&origin);
    QTransform at0;
    at0.translate(origin.x, origin.y);
    at0.rotate(-f.angle);
    at0 *= turn;
    m_painter->setWorldTransform(at0);
    if (s.bkMode == OPAQUE && width > 0)
        m_painter->fillRect(QRectF(0, 0, width, f.height), Colour(s.bkColor));
    m_painter->setFont(f.font);
    m_painter->setPen(Colour(s.textColor));
    // The lines under and through text over `length` from `from`, in the run's coordinates.
    auto drawRules = [&](double from, double length) {
        if (!f.font.underline() && !f.font.strikeOut())
            return;
        const QFontMetricsF fm(f.font, m_device);
        const double thickness = std::max(1.0, fm.lineWidth());
        auto rule = [&](double y) { m_painter->fillRect(QRectF(from, y - thickness / 2, length, thickness), m_painter->pen().color()); };
        if (f.font.underline())
            rule(f.ascent + fm.underlinePos());
        if (f.font.strikeOut())
            rule(f.ascent - fm.strikeOutPos());
    };
    // Each run is drawn from its shaped glyphs, with its baseline at the font's ascent.
    auto draw = [&](const QString& run, double x) {
        const ShapedRun& shaped = Shape(f.font, run);
        QTransform t = QTransform::fromTranslate(x, 0);
        t.scale(f.stretch, 1.0);
        t *= at0;
        m_painter->setWorldTransform(t);
        const QPointF baseline(0, f.ascent - shaped.ascent);
        for (const QGlyphRun& glyphs : shaped.glyphs)
            m_painter->drawGlyphRun(baseline, glyphs);
        drawRules(0, shaped.advance);
    };
    if (dx) {
        // Each character where its cell begins, as if drawn one by one, but gathered into one
        // glyph run per real font: a long text is a few calls, not one a character.
        QTransform t = QTransform::fromScale(f.stretch, 1.0);
        t *= at0;
        m_painter->setWorldTransform(t);
        struct Piece {
            int batch;
            quint32 index;
            QPointF at;  // from the cell's start, baseline offset included
        };
        struct Character {
            std::vector<Piece> glyphs;
            double advance = 0;
        };
        QList<QGlyphRun> batches;
        std::vector<QList<quint32>> indexes;
        std::vector<QList<QPointF>> positions;
        QHash<char16_t, Character> characters;
        // Lines under and through each character, those that overlap or touch joined into one.
        const bool ruled = f.font.underline() || f.font.strikeOut();
        std::vector<std::pair<double, double>> rules;
        for (int i = 0; i < int(text.size()); ++i) {
            const char16_t c = text[i].unicode();
            auto known = characters.find(c);
            if (known == characters.end()) {
                // The shape is copied out at once: shaping more characters may empty the cache.
                const ShapedRun& shaped = Shape(f.font, text.mid(i, 1));
                Character character;
                character.advance = shaped.advance;
                for (const QGlyphRun& run : shaped.glyphs) {
                    qsizetype b = 0;
                    while (b < batches.size() && !(batches[b].rawFont() == run.rawFont() && batches[b].flags() == run.flags()))
                        ++b;
                    if (b == batches.size()) {
                        batches.append(run);
                        indexes.emplace_back();
                        positions.emplace_back();
                    }
                    const QList<quint32> runIndexes = run.glyphIndexes();
                    const QList<QPointF> runPositions = run.positions();
                    for (qsizetype g = 0; g < runIndexes.size() && g < runPositions.size(); ++g)
                        character.glyphs.push_back({int(b), runIndexes[g], runPositions[g] + QPointF(0, f.ascent - shaped.ascent)});
                }
                known = characters.insert(c, std::move(character));
            }
            const double x = at[size_t(i)] / f.stretch;
            for (const Piece& piece : known->glyphs) {
                indexes[size_t(piece.batch)].append(piece.index);
                positions[size_t(piece.batch)].append(piece.at + QPointF(x, 0));
            }
            if (ruled) {
                if (!rules.empty() && x >= rules.back().first && x <= rules.back().second)
                    rules.back().second = std::max(rules.back().second, x + known->advance);
                else
                    rules.emplace_back(x, x + known->advance);
            }
        }
        for (qsizetype b = 0; b < batches.size(); ++b) {
            batches[b].setGlyphIndexes(indexes[size_t(b)]);
            batches[b].setPositions(positions[size_t(b)]);
            m_painter->drawGlyphRun(QPointF(0, 0), batches[b]);
        }
        for (const auto& [from, to] : rules)
            drawRules(from, to - from);
    } else {
        draw(text, 0);
    }
    m_painter->setWorldTransform(turn);
    if (clipped)
        m_painter->restore();
}
