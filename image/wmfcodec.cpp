// Windows metafiles, placeable or plain. Reading renders the common records (window set-up,
// pens, brushes, lines, rectangles, ellipses, polygons and device-independent bitmaps) at the
// metafile's stated size, 96 pixels an inch; text and other records are skipped. Writing makes a
// placeable metafile holding the picture as one StretchDIBits record.

#include "image/codecs.h"
#include "framework/resourcemodule.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <optional>

namespace raster {
namespace {

constexpr DWORD kPlaceableKey = 0x9AC6CDD7;

enum : WORD {
    META_EOF = 0x0000,
    META_SETPOLYFILLMODE = 0x0106,
    META_SELECTOBJECT = 0x012D,
    META_DELETEOBJECT = 0x01F0,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_POLYPOLYGON = 0x0538,
    META_ROUNDRECT = 0x061C,
    META_DIBBITBLT = 0x0940,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
};

// Records that make an object take a slot of the object table even though it is not drawn here.
bool CreatesObject(WORD function)
{
    switch (function) {
    case 0x00F7:  // palette
    case 0x01F9:  // pattern brush
    case 0x0142:  // DIB pattern brush
    case 0x02FB:  // font
    case 0x06FF:  // region
    case META_CREATEPENINDIRECT:
    case META_CREATEBRUSHINDIRECT:
        return true;
    default:
        return false;
    }
}

struct Object {
    enum Kind { Pen, Brush, Other } kind = Other;
    QPen pen;
    QBrush brush;
};

QColor Colour(DWORD c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

QPen MakePen(WORD style, int width, DWORD colour)
{
    QPen pen(Colour(colour));
    switch (style & 0x0F) {
    case 1: pen.setStyle(Qt::DashLine); break;
    case 2: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashDotLine); break;
    case 4: pen.setStyle(Qt::DashDotDotLine); break;
    case 5: return QPen(Qt::NoPen);
    default: pen.setStyle(Qt::SolidLine); break;
    }
    if (width <= 0) {
        pen.setWidth(1);
        pen.setCosmetic(true);
    } else {
        pen.setWidthF(width);
    }
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QBrush MakeBrush(WORD style, DWORD colour, WORD hatch)
{
    if (style == 1)
        return QBrush(Qt::NoBrush);
    if (style == 2) {
        static constexpr Qt::BrushStyle hatches[6] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                      Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(Colour(colour), hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    }
    return QBrush(Colour(colour));
}

// The work of a metafile's drawing, in units of about one filled pixel: the canvas costs its
// pixels, a record one, a shape the pixels it covers on the canvas, and a polygon (filled or
// outlined) the steps of its edges through the scan lines: on each line the rasteriser steps and
// sorts every edge that crosses it, so a polygon costs the lines its edges cross times the edges a
// line meets on average. A metafile that needs more than its image's work limit is refused: a few
// kilobytes of records that each cover the whole picture, or polygons of many long edges, would
// otherwise keep the program busy for minutes while a label loads.
constexpr double kEdgeStepWork = 2;

class Player {
public:
    Player(QPainter& painter, QSize pixels, QRect window, double limit)
        : m_painter(painter), m_limit(limit), m_work(double(pixels.width()) * pixels.height()), m_pixels(pixels),
          m_org(window.topLeft()), m_ext(window.size())
    {
        m_painter.setPen(QPen(Qt::black, 1));
        m_painter.setBrush(Qt::white);
        Apply();
    }

    // True once the drawing has cost more than its limit; nothing more is drawn then.
    bool OverBudget() const { return m_work > m_limit; }
    // The work spent, within the limit: what went beyond it was not drawn.
    double Work() const { return std::min(m_work, m_limit); }

    void Play(WORD function, ByteReader& p)
    {
        m_work += 1;
        if (OverBudget())
            return;
        switch (function) {
        case META_SETWINDOWORG: {
            const int y = p.s16();
            const int x = p.s16();
            m_org = QPoint(x, y);
            Apply();
            break;
        }
        case META_SETWINDOWEXT: {
            const int y = p.s16();
            const int x = p.s16();
            if (x != 0 && y != 0) {
                m_ext = QSize(x, y);
                Apply();
            }
            break;
        }
        case META_SETPOLYFILLMODE: m_winding = p.u16() == 2; break;
        case META_CREATEPENINDIRECT: {
            Object o;
            o.kind = Object::Pen;
            const WORD style = p.u16();
            const int width = p.s16();
            p.s16();
            o.pen = MakePen(style, width, p.u32());
            Add(o);
            break;
        }
        case META_CREATEBRUSHINDIRECT: {
            Object o;
            o.kind = Object::Brush;
            const WORD style = p.u16();
            const DWORD colour = p.u32();
            o.brush = MakeBrush(style, colour, p.u16());
            Add(o);
            break;
        }
        case META_SELECTOBJECT: {
            const WORD index = p.u16();
            if (index < m_objects.size() && m_objects[index]) {
                const Object& o = *m_objects[index];
                if (o.kind == Object::Pen)
                    m_painter.setPen(o.pen);
                else if (o.kind == Object::Brush)
                    m_painter.setBrush(o.brush);
            }
            break;
        }
        case META_DELETEOBJECT: {
            const WORD index = p.u16();
            if (index < m_objects.size())
                m_objects[index].reset();
            break;
        }
        case META_MOVETO: {
            const int y = p.s16();
            m_position = QPoint(p.s16(), y);
            break;
        }
        case META_LINETO: {
            const int y = p.s16();
            const QPoint to(p.s16(), y);
            if (p.ok() && Afford(Outline(QPolygonF(QPolygon({m_position, to})), false)))
                m_painter.drawLine(m_position, to);
            m_position = to;
            break;
        }
        case META_RECTANGLE:
        case META_ELLIPSE:
        case META_ROUNDRECT: {
            int cornerH = 0, cornerW = 0;
            if (function == META_ROUNDRECT) {
                cornerH = p.s16();
                cornerW = p.s16();
            }
            const int bottom = p.s16();
            const int right = p.s16();
            const int top = p.s16();
            const int left = p.s16();
            if (!p.ok())
                break;
            const QRectF r = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
            if (!Afford(Fill(r) + Outline(QPolygonF(r), true)))
                break;
            if (function == META_RECTANGLE)
                m_painter.drawRect(r);
            else if (function == META_ELLIPSE)
                m_painter.drawEllipse(r);
            else
                m_painter.drawRoundedRect(r, std::abs(cornerW) / 2.0, std::abs(cornerH) / 2.0);
            break;
        }
        case META_POLYGON:
        case META_POLYLINE: {
            const int count = p.s16();
            if (count < 2 || size_t(count) * 4 > p.remaining())
                break;
            QPolygon poly = Points(p, count);
            const bool closed = function == META_POLYGON;
            if (!Afford((closed ? Fill(poly.boundingRect()) + Crossings(QPolygonF(poly), true) : 0.0) +
                        Outline(QPolygonF(poly), closed)))
                break;
            if (function == META_POLYGON)
                m_painter.drawPolygon(poly, m_winding ? Qt::WindingFill : Qt::OddEvenFill);
            else
                m_painter.drawPolyline(poly);
            break;
        }
        case META_POLYPOLYGON: {
            const int polygons = p.u16();
            if (size_t(polygons) * 2 > p.remaining())
                break;
            std::vector<int> counts;
            size_t total = 0;
            for (int i = 0; i < polygons; ++i) {
                counts.push_back(p.u16());
                total += size_t(counts.back());
            }
            if (total * 4 > p.remaining())
                break;
            QPainterPath path;
            path.setFillRule(m_winding ? Qt::WindingFill : Qt::OddEvenFill);
            double work = 0;
            for (int count : counts) {
                const QPolygon poly = Points(p, count);
                if (!poly.isEmpty()) {
                    path.addPolygon(QPolygonF(poly)), path.closeSubpath();
                    work += Crossings(QPolygonF(poly), true) + Outline(QPolygonF(poly), true);
                }
            }
            if (Afford(work + Fill(path.boundingRect())))
                m_painter.drawPath(path);
            break;
        }
        case META_STRETCHDIB:
        case META_DIBSTRETCHBLT:
        case META_DIBBITBLT: {
            p.u32();  // raster operation: pictures are copied
            if (function == META_STRETCHDIB)
                p.u16();  // colour usage
            int srcH = 0, srcW = 0;
            if (function != META_DIBBITBLT) {
                srcH = p.s16();
                srcW = p.s16();
            }
            const int ySrc = p.s16();
            const int xSrc = p.s16();
            const int destH = p.s16();
            const int destW = p.s16();
            const int yDest = p.s16();
            const int xDest = p.s16();
            if (function == META_DIBBITBLT) {
                srcH = destH;
                srcW = destW;
            }
            if (!p.ok() || p.remaining() == 0)
                break;
            DrawDib(p.here(), p.remaining(), QRect(xSrc, ySrc, srcW, srcH), xDest, yDest, destW, destH);
            break;
        }
        default:
            if (CreatesObject(function))
                Add(Object());
            break;
        }
    }

    void SetObjectCount(int n) { m_objects.resize(size_t(n)); }

private:
    // Adds the work of the next drawing; false, drawing nothing, when the budget is spent.
    bool Afford(double work)
    {
        m_work += work;
        return !OverBudget();
    }

    // The canvas pixels a filled shape of these logical bounds covers.
    double Fill(const QRectF& bounds) const
    {
        if (m_painter.brush().style() == Qt::NoBrush)
            return 0;
        const QRectF covered = m_painter.transform().mapRect(bounds) & QRectF(QPointF(0, 0), QSizeF(m_pixels));
        return covered.width() * covered.height();
    }

    // The steps of a polygon's edges through the canvas's scan lines.
    double Crossings(const QPolygonF& logical, bool closed) const
    {
        const QPolygonF poly = m_painter.transform().map(logical);
        const double canvasHeight = m_pixels.height();
        double lines = 0;
        const qsizetype edges = closed ? poly.size() : poly.size() - 1;
        for (qsizetype i = 0; i < edges; ++i) {
            const QPointF& a = poly[i];
            const QPointF& b = poly[(i + 1) % poly.size()];
            lines += std::min(std::abs(b.y() - a.y()), canvasHeight) + 1;
        }
        const double height = std::clamp(poly.boundingRect().height(), 1.0, canvasHeight);
        return lines * (1 + lines / height) * kEdgeStepWork;
    }

    // An outline drawn with the pen: the canvas pixels it covers, and the edges of the stroke
    // (two for each edge of the shape).
    double Outline(const QPolygonF& logical, bool closed) const
    {
        const QPen& pen = m_painter.pen();
        if (pen.style() == Qt::NoPen || logical.size() < 2)
            return 0;
        const QTransform& t = m_painter.transform();
        const double width = pen.isCosmetic() ? 1.0 : std::max(1.0, pen.widthF() * std::max(std::abs(t.m11()), std::abs(t.m22())));
        const QPolygonF poly = t.map(logical);
        const double diagonal = std::hypot(m_pixels.width(), m_pixels.height());
        double length = 0;
        const qsizetype edges = closed ? poly.size() : poly.size() - 1;
        for (qsizetype i = 0; i < edges; ++i) {
            const QPointF d = poly[(i + 1) % poly.size()] - poly[i];
            length += std::min(std::hypot(d.x(), d.y()), diagonal) + 1;
        }
        return length * std::min(width, diagonal) + 2 * Crossings(logical, closed);
    }

    void Apply()
    {
        QTransform t;
        t.scale(double(m_pixels.width()) / m_ext.width(), double(m_pixels.height()) / m_ext.height());
        t.translate(-m_org.x(), -m_org.y());
        m_painter.setTransform(t);
    }

    void Add(const Object& o)
    {
        for (auto& slot : m_objects) {
            if (!slot) {
                slot = o;
                return;
            }
        }
    }

    static QPolygon Points(ByteReader& p, int count)
    {
        QPolygon poly;
        for (int i = 0; i < count && p.ok(); ++i) {
            const int x = p.s16();
            const int y = p.s16();
            poly << QPoint(x, y);
        }
        return p.ok() ? poly : QPolygon();
    }

    // Copies the source rectangle of the bitmap (all of it when the record gives no source size)
    // into the destination; a negative destination width or height mirrors the picture.
    void DrawDib(const BYTE* data, size_t size, QRect src, int x, int y, int w, int h)
    {
        if (w == 0 || h == 0)
            return;
        CRasterImage dib;
        if (!ReadDib(dib, data, size))
            return;
        if (!Afford(double(dib.GetWidth()) * dib.GetHeight()))
            return;
        QImage picture = dib.ToQImage();
        if (picture.isNull())
            return;
        QRectF target(x, y, w, h);
        if (src.width() > 0 && src.height() > 0) {
            // Source rows count from the bottom of the bitmap. The part of the source outside
            // the bitmap draws nothing; the rest keeps its place and scale in the destination.
            const QRect wanted(src.x(), picture.height() - src.y() - src.height(), src.width(), src.height());
            const QRect shown = wanted & picture.rect();
            if (shown.isEmpty())
                return;
            const double sx = double(w) / wanted.width();
            const double sy = double(h) / wanted.height();
            target = QRectF(x + (shown.x() - wanted.x()) * sx, y + (shown.y() - wanted.y()) * sy,
                            shown.width() * sx, shown.height() * sy);
            if (shown != picture.rect())
                picture = picture.copy(shown);
        }
        const bool mirrorX = target.width() < 0;
        const bool mirrorY = target.height() < 0;
        if (mirrorX || mirrorY)
            picture = picture.mirrored(mirrorX, mirrorY);
        if (Afford(Fill(target.normalized())))
            m_painter.drawImage(target.normalized(), picture);
    }

    QPainter& m_painter;
    double m_limit;
    double m_work;
    QSize m_pixels;
    QPoint m_org;
    QSize m_ext;
    QPoint m_position;
    bool m_winding = false;
    std::vector<std::optional<Object>> m_objects;
};

// Largest rendering: a metafile that states a larger size is drawn smaller, at a lower
// resolution, so that its size in inches stays. Like the pixels of the other formats, the
// rendering is also bounded by the data: a few records do not stand for a picture of many
// megabytes.
constexpr long long kMaxRenderPixels = 16 * 1024 * 1024;
constexpr int kMaxRenderSide = 16384;
constexpr int kRenderBytesPerPixel = 4;

}  // namespace

bool ReadWmf(CRasterImage& image, const BYTE* data, size_t size)
{
    ByteReader r(data, size);
    QRect window;
    int unitsPerInch = 0;
    if (r.u32() == kPlaceableKey) {
        r.u16();
        const int left = r.s16();
        const int top = r.s16();
        const int right = r.s16();
        const int bottom = r.s16();
        unitsPerInch = r.u16();
        r.u32();
        r.u16();
        window = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)).normalized();
        if (unitsPerInch == 0 || window.isEmpty()) {
            image.SetError(LoadMessage(582, "Damaged WMF header"));
            return false;
        }
    } else {
        r.seek(0);
    }
    const size_t headerStart = r.pos();
    const WORD type = r.u16();
    const WORD headerWords = r.u16();
    r.u16();
    r.u32();
    const WORD objects = r.u16();
    r.u32();
    r.u16();
    if (!r.ok() || (type != 1 && type != 2) || headerWords != 9) {
        image.SetError(NotAFile("WMF"));
        return false;
    }
    const size_t recordsStart = headerStart + 18;

    // Walk the records once to check their sizes and, for a plain metafile, find its window.
    QPoint org;
    QSize ext;
    bool sawEof = false;
    for (size_t pos = recordsStart; pos + 6 <= size;) {
        ByteReader rec(data + pos, size - pos);
        const DWORD words = rec.u32();
        const WORD function = rec.u16();
        if (words < 3 || words > (size - pos) / 2)
            break;
        if (function == META_EOF) {
            sawEof = true;
            break;
        }
        if (function == META_SETWINDOWORG && org.isNull()) {
            const int y = rec.s16();
            org = QPoint(rec.s16(), y);
        } else if (function == META_SETWINDOWEXT && !ext.isValid()) {
            const int y = rec.s16();
            ext = QSize(rec.s16(), y);
        }
        pos += size_t(words) * 2;
    }
    if (!sawEof) {
        image.SetError(FileCutShort("WMF"));
        return false;
    }
    double width, height;
    if (unitsPerInch) {
        width = window.width() * 96.0 / unitsPerInch;
        height = window.height() * 96.0 / unitsPerInch;
    } else {
        if (ext.width() == 0 || ext.height() == 0) {
            image.SetError(LoadMessage(583, "The WMF file states no size"));
            return false;
        }
        window = QRect(org, QSize(std::abs(ext.width()), std::abs(ext.height())));
        width = std::abs(ext.width());
        height = std::abs(ext.height());
    }
    const double budget = std::min(double(kMaxRenderPixels), double(size) * kMaxExpansion / kRenderBytesPerPixel);
    double scale = 1.0;
    if (width * height > budget)
        scale = std::sqrt(budget / (width * height));
    scale = std::min({scale, kMaxRenderSide / width, kMaxRenderSide / height});
    const QSize pixels(std::max(1, int(std::lround(width * scale))), std::max(1, int(std::lround(height * scale))));

    // The picture is kept at 24 bits a pixel.
    if (!PlausibleSize(image, pixels.width(), pixels.height(), 24, size, RASTER_MAX_MEMORY))
        return false;
    // Work limited below a picture's own bound is what the caller has left for its pictures.
    const double limit = std::min(image.GetWorkLimit(), RASTER_MAX_DRAW_WORK);
    auto overworked = [&] {
        if (limit < RASTER_MAX_DRAW_WORK)
            return Fail(image,
                        LoadMessage(585, "The WMF picture's drawing costs more work than its label's pictures have left"),
                        RasterFailure::OverWorkLimit);
        return Fail(image, LoadMessage(584, "The WMF picture's drawing costs more work than a picture may"),
                    RasterFailure::TooMuchWork);
    };
    if (double(pixels.width()) * pixels.height() > limit)
        return overworked();
    QImage canvas(pixels, QImage::Format_RGB32);
    if (canvas.isNull()) {
        image.SetError(LoadMessage(532, "CRasterImage::Create can't allocate memory"));
        return false;
    }
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        Player player(painter, pixels, window, limit);
        player.SetObjectCount(objects);
        for (size_t pos = recordsStart; pos + 6 <= size;) {
            ByteReader rec(data + pos, size - pos);
            const DWORD words = rec.u32();
            const WORD function = rec.u16();
            if (words < 3 || words > (size - pos) / 2 || function == META_EOF)
                break;
            ByteReader params(data + pos + 6, size_t(words) * 2 - 6);
            player.Play(function, params);
            if (player.OverBudget())
                break;
            pos += size_t(words) * 2;
        }
        image.AddWorkDone(player.Work());
        if (player.OverBudget())
            return overworked();
    }
    canvas.setDotsPerMeterX(0);
    canvas.setDotsPerMeterY(0);
    if (!image.FromQImage(canvas))
        return false;
    const int dpi = std::max(1, int(std::lround(96 * scale)));
    image.SetXDPI(dpi);
    image.SetYDPI(dpi);
    return true;
}

QByteArray WriteWmf(CRasterImage& image)
{
    const int w = image.GetWidth();
    const int h = image.GetHeight();
    if (w > 0x7FFF || h > 0x7FFF) {
        image.SetError(LoadMessage(536, "The picture is too large for a WMF file"));
        return {};
    }
    const QByteArray dib = WriteDib(image);
    const long long stretchWords = 3 + (4 + 2 + 16) / 2 + (dib.size() + 1) / 2;
    if (stretchWords > 0x7FFFFFFF) {
        image.SetError(LoadMessage(536, "The picture is too large for a WMF file"));
        return {};
    }
    QByteArray out;
    // Placeable header: the bounding box in pixels at the picture's resolution.
    Put32(out, kPlaceableKey);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, unsigned(w));
    Put16(out, unsigned(h));
    Put16(out, unsigned(std::min(image.GetXDPI(), 0xFFFF)));
    Put32(out, 0);
    WORD checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= WORD(BYTE(out[i]) | (BYTE(out[i + 1]) << 8));
    Put16(out, checksum);

    const long long windowWords = 5;
    const long long totalWords = 9 + windowWords * 2 + stretchWords + 3;
    Put16(out, 1);  // in memory
    Put16(out, 9);
    Put16(out, 0x0300);
    Put32(out, DWORD(totalWords));
    Put16(out, 0);
    Put32(out, DWORD(stretchWords));
    Put16(out, 0);

    auto record = [&](DWORD words, WORD function) {
        Put32(out, words);
        Put16(out, function);
    };
    record(5, META_SETWINDOWORG);
    Put16(out, 0);
    Put16(out, 0);
    record(5, META_SETWINDOWEXT);
    Put16(out, unsigned(h));
    Put16(out, unsigned(w));
    record(DWORD(stretchWords), META_STRETCHDIB);
    Put32(out, 0x00CC0020);  // source copy
    Put16(out, 0);           // RGB colours
    Put16(out, unsigned(h));
    Put16(out, unsigned(w));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, unsigned(h));
    Put16(out, unsigned(w));
    Put16(out, 0);
    Put16(out, 0);
    out.append(dib);
    if (dib.size() % 2)
        out.append(char(0));
    record(3, META_EOF);
    return out;
}

}  // namespace raster
