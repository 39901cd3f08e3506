#pragma once
// A device context over a QPainter: an image, a widget, a printer or a PDF writer. Everything is
// drawn in device pixels, the painter's transform being only the context's turn (SetRotation),
// under which text runs too; coordinates are converted by the context itself, so that rounding
// is the context's own and the same on every device.

#include "framework/dc.h"

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QVector>

class QPainter;
class QPaintDevice;

class CPainterDC : public CDC {
public:
    // Opens a painter of its own on the device; printing is true for printers and PDF writers.
    explicit CPainterDC(QPaintDevice* device, bool printing = false);
    // Draws through an open painter; its state is saved here and restored on destruction.
    explicit CPainterDC(QPainter* painter, bool printing = false);
    ~CPainterDC() override;

    QPainter* Painter() const { return m_painter; }

protected:
    CSize SurfaceSize() const override;
    int DeviceCapability(int index) const override;
    TEXTMETRICW MeasureFont() override;
    CSize MeasureText(const CString& text) override;
    void DrawRectangle(const CRect& r) override;
    void DrawRoundRect(const CRect& r, CPoint corner) override;
    void DrawEllipse(const CRect& r) override;
    void DrawPolygon(const CPoint* points, int count) override;
    void DrawLine(const CPoint& from, const CPoint& to) override;
    void DrawFill(const CRect& r, COLORREF colour) override;
    void DrawFills(const CRect* rects, int count, COLORREF colour) override;
    void DrawInvert(const CRect& r) override;
    void DrawFocus(const CRect& r) override;
    void DrawPicture(const CRect& r, const QImage& image) override;
    void DrawTextRun(int x, int y, UINT options, const CRect* rect, const CString& text,
                     const int* dx) override;

private:
    // The selected font as realised on this device for the current mapping, in device pixels.
    struct RealFont {
        QFont font;
        double stretch = 1.0;  // horizontal scale that gives the asked-for average width
        int height = 0;
        int ascent = 0;
        int internalLeading = 0;
        int averageWidth = 0;
        int maxWidth = 0;
        double angle = 0.0;    // degrees, counter-clockwise
    };
    struct PenSpec {
        bool none = false;
        bool insideFrame = false;
        int width = 1;
        QVector<qreal> pattern;  // empty: solid
        QColor colour;
    };

    void Init();
    bool Ready();
    const RealFont& Realise();
    double Advance(const RealFont& f, const QString& text) const;
    PenSpec CurrentPen() const;
    void StrokeSegment(QPoint a, QPoint b, const PenSpec& pen);
    void StrokePath(const class QPainterPath& path, const PenSpec& pen);
    void FillShape(const class QPainterPath& path);
    bool HasRasterOps() const;
    // The pen's band of an outline as a stroke of the pen's width along its middle.
    void StrokeBand(const QRect& outer, const PenSpec& pen);
    // On a device drawn again scaled: the path once more with a pen one pixel wide wherever it
    // is shown.
    void StrokeHairline(const QPainterPath& path, const PenSpec& pen);

    QPaintDevice* m_device = nullptr;
    QPainter* m_painter = nullptr;
    bool m_ownPainter = false;
    // The device records what is drawn, to be drawn again later at a scale of its own (the print
    // preview's pages): a band filled a device pixel wide may then fall between the pixels it
    // is shown on, so outlines are stroked, and a pen that maps to a pixel or less there is
    // drawn one pixel wide.
    bool m_drawnAgainScaled = false;
    unsigned m_appliedClip = ~0u;

    RealFont m_real;
    bool m_realValid = false;
    // A run of text shaped once with a font: its glyphs and advance. Labels printed one after
    // another draw the same runs again and again; each is shaped once, not once for its
    // advance and once more to draw it.
    struct ShapedRun {
        QList<QGlyphRun> glyphs;
        double ascent = 0;   // of the laid-out line, from its top to the baseline
        double advance = 0;  // unstretched
    };
    const ShapedRun& Shape(const QFont& font, const QString& text) const;
    mutable QHash<QFont, QHash<QString, ShapedRun>> m_shaped;
    mutable qsizetype m_shapedCount = 0;
    LOGFONTW m_realFor;
    CSize m_realExt[2];
};
