#pragma once
// The device context the drawing code is written against. The base class holds everything that
// does not depend on the output: the mapping from logical to device units, the selected pen,
// brush and font, colours and modes, the clip region and the saved-state stack. A back end
// draws and measures (CPainterDC over a QPainter, CRecordingDC for tests).

#include "framework/gdi.h"

#include <QImage>
#include <QRegion>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Mapping modes
constexpr int MM_TEXT = 1;
constexpr int MM_ANISOTROPIC = 8;

// Background modes
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// ExtTextOut options
constexpr UINT ETO_OPAQUE = 2;
constexpr UINT ETO_CLIPPED = 4;
constexpr UINT ETO_IGNORELANGUAGE = 0x1000;

// DrawText formats
constexpr UINT DT_LEFT = 0;
constexpr UINT DT_CENTER = 1;
constexpr UINT DT_RIGHT = 2;
constexpr UINT DT_VCENTER = 4;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_NOCLIP = 0x100;
constexpr UINT DT_CALCRECT = 0x400;

// GetDeviceCaps indexes
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;

// Region kinds answered by the clipping calls (0 is failure)
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

class CDC {
public:
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // Mapping. In MM_TEXT one logical unit is one device pixel and the extents are (1, 1); setting
    // an extent there has no effect. A zero extent is refused.
    int SetMapMode(int mode);
    int GetMapMode() const { return m_s.mapMode; }
    CSize SetWindowExt(int cx, int cy);
    CSize SetWindowExt(const CSize& s) { return SetWindowExt(s.cx, s.cy); }
    CSize GetWindowExt() const { return m_s.windowExt; }
    CSize SetViewportExt(int cx, int cy);
    CSize SetViewportExt(const CSize& s) { return SetViewportExt(s.cx, s.cy); }
    CSize GetViewportExt() const { return m_s.viewportExt; }
    CPoint SetWindowOrg(int x, int y);
    CPoint SetWindowOrg(const CPoint& p) { return SetWindowOrg(p.x, p.y); }
    CPoint GetWindowOrg() const { return m_s.windowOrg; }
    CPoint OffsetWindowOrg(int dx, int dy);
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(const CPoint& p) { return SetViewportOrg(p.x, p.y); }
    CPoint GetViewportOrg() const { return m_s.viewportOrg; }
    CPoint OffsetViewportOrg(int dx, int dy);

    // device = (logical - window origin) * viewport extent / window extent + viewport origin,
    // rounded to the nearest integer; DPtoLP is the inverse. Sizes are scaled without origins.
    void LPtoDP(CPoint* points, int count = 1) const;
    void LPtoDP(CRect* rect) const;
    void LPtoDP(CSize* size) const;
    void DPtoLP(CPoint* points, int count = 1) const;
    void DPtoLP(CRect* rect) const;
    void DPtoLP(CSize* size) const;

    // Saved states are numbered from 1. RestoreDC(n > 0) restores level n and drops it and every
    // later level; RestoreDC(-k) restores the k-th most recent level.
    int SaveDC();
    BOOL RestoreDC(int savedDC);

    // The previous object is returned: the pointer that was selected before, or a stock object
    // when the context's own default was in effect.
    CPen* SelectObject(CPen* pen);
    CBrush* SelectObject(CBrush* brush);
    CFont* SelectObject(CFont* font);
    CGdiObject* SelectObject(CGdiObject* object);
    CGdiObject* SelectStockObject(int index);

    COLORREF SetTextColor(COLORREF c);
    COLORREF GetTextColor() const { return m_s.textColor; }
    COLORREF SetBkColor(COLORREF c);
    COLORREF GetBkColor() const { return m_s.bkColor; }
    int SetBkMode(int mode);
    int GetBkMode() const { return m_s.bkMode; }

    // Text measures are in logical units. The reference point of drawn text is the top-left
    // corner of its character cell.
    CSize GetTextExtent(const CString& text);
    BOOL GetTextExtentPoint32W(const CString& text, int count, CSize* size);
    BOOL GetTextMetrics(TEXTMETRICW* metrics);
    BOOL ExtTextOut(int x, int y, UINT options, const CRect* rect, const CString& text,
                    const int* dx = nullptr);
    BOOL TextOut(int x, int y, const CString& text) { return ExtTextOut(x, y, 0, nullptr, text); }
    // Lines break at line feeds unless DT_SINGLELINE, and with DT_WORDBREAK also where the next
    // word would pass the rectangle's right edge (a word wider than the rectangle stands alone
    // on its line); the answer is the height of the text.
    int DrawText(const CString& text, CRect* rect, UINT format);

    // Clipping rectangles are logical; the answer is the kind of the resulting region.
    int IntersectClipRect(int l, int t, int r, int b);
    int IntersectClipRect(const CRect* rect);
    int ExcludeClipRect(int l, int t, int r, int b);
    int ExcludeClipRect(const CRect* rect);
    // The bounding box of the visible area in logical units: the clip region within the surface,
    // or the whole surface when there is no clip region.
    int GetClipBox(CRect* rect) const;
    int SelectClipRgn(std::nullptr_t);

    // Shapes are filled with the selected brush and outlined with the selected pen; right and
    // bottom edges are exclusive. A shape drawn without a pen loses one pixel on the right and at
    // the bottom, as on the original platform.
    BOOL Rectangle(int l, int t, int r, int b);
    BOOL Rectangle(const CRect* rect);
    BOOL RoundRect(int l, int t, int r, int b, int cornerWidth, int cornerHeight);
    BOOL RoundRect(const CRect* rect, CPoint corner);
    BOOL Ellipse(int l, int t, int r, int b);
    BOOL Ellipse(const CRect* rect);
    BOOL Polygon(const CPoint* points, int count);
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(const CPoint& p) { return MoveTo(p.x, p.y); }
    // Draws from the current position up to, not including, the end point.
    BOOL LineTo(int x, int y);
    BOOL LineTo(const CPoint& p) { return LineTo(p.x, p.y); }
    void FillRect(const CRect* rect, CBrush* brush);
    // Fills every rectangle with the brush, as FillRect would one by one; a device may fill them
    // in one go (the bars of a symbol).
    void FillRects(const CRect* rects, int count, CBrush* brush);
    // Leaves the background colour set to the fill colour, as the original does.
    void FillSolidRect(const CRect* rect, COLORREF colour);
    void InvertRect(const CRect* rect);
    void DrawFocusRect(const CRect* rect);
    // Stretches a picture into a logical rectangle; a rectangle whose device width or height is
    // negative mirrors the picture that way. FALSE for an empty picture.
    BOOL DrawImage(const CRect& rect, const QImage& image);
    // The same for a picture of `pixels` that is made only as far as the device shows it:
    // `render` is asked for a part of the picture (in its pixels, rows from the top) at a size
    // of no more pixels than the part has or the device gives it. The whole picture is asked
    // for unless that would take more than kMaxWholePicturePixels; then only the part inside
    // the visible area. FALSE when `render` gives nothing.
    using PictureRenderer = std::function<QImage(const QRect& part, const QSize& size)>;
    static constexpr long long kMaxWholePicturePixels = 4096LL * 4096;
    BOOL DrawImage(const CRect& rect, const QSize& pixels, const PictureRenderer& render);

    // What could not be drawn (a picture that did not load, say), each told once, in the order
    // told; a print job reports it when it ends.
    void ReportOmission(const CString& what);
    const QStringList& GetOmissions() const { return m_omissions; }

    int GetDeviceCaps(int index) const;
    BOOL IsPrinting() const { return m_printing; }

    // Turns everything drawn afterwards about a logical point, by tenths of a degree counter-
    // clockwise as seen, as a world transform of the original platform does; 0 turns nothing.
    // The mapping calls (LPtoDP, DPtoLP) and the clip region are not turned. Saved and restored
    // with the rest of the state.
    void SetRotation(int tenths, CPoint centre);
    int GetRotation() const { return m_s.rotation; }
    CPoint GetRotationCentre() const { return m_s.rotationCentre; }

    // Pixel size of a logical pen width for the current mapping: at least 1.
    int DevicePenWidth(const LOGPEN& pen) const;

protected:
    explicit CDC(bool printing) : m_printing(printing) {}
    void SetPrintingFlag(bool printing) { m_printing = printing; }

    struct State {
        State();
        int mapMode = MM_TEXT;
        CPoint windowOrg;
        CPoint viewportOrg;
        CSize windowExt{1, 1};
        CSize viewportExt{1, 1};
        LOGPEN pen;
        LOGBRUSH brush;
        LOGFONTW font;
        CPen* penObject;  // the stock objects until something is selected
        CBrush* brushObject;
        CFont* fontObject;
        COLORREF textColor = RGB(0, 0, 0);
        COLORREF bkColor = RGB(255, 255, 255);
        int bkMode = OPAQUE;
        CPoint position;
        bool clipped = false;
        QRegion clip;  // device pixels, when clipped
        int rotation = 0;  // tenths of a degree, 0 to 3599
        CPoint rotationCentre;  // logical
    };
    const State& CurrentState() const { return m_s; }
    // Changes whenever the clip region may have changed.
    unsigned ClipGeneration() const { return m_clipGeneration; }
    // A logical rectangle in device pixels, normalised.
    QRect ToDeviceRect(const CRect& logical) const;
    // One line of text cut into lines no wider than `width` logical units at its break chances.
    QStringList WrapLine(const QString& text, std::int64_t width);

    // Back end: the size in pixels of the drawing surface and the device capabilities.
    virtual CSize SurfaceSize() const = 0;
    virtual int DeviceCapability(int index) const = 0;
    // Measures in logical units with the selected font.
    virtual TEXTMETRICW MeasureFont() = 0;
    virtual CSize MeasureText(const CString& text) = 0;
    // Primitives in logical units; rectangles arrive normalised.
    virtual void DrawRectangle(const CRect& r) = 0;
    virtual void DrawRoundRect(const CRect& r, CPoint corner) = 0;
    virtual void DrawEllipse(const CRect& r) = 0;
    virtual void DrawPolygon(const CPoint* points, int count) = 0;
    virtual void DrawLine(const CPoint& from, const CPoint& to) = 0;
    virtual void DrawFill(const CRect& r, COLORREF colour) = 0;
    // Several fills of one colour; by default one DrawFill each.
    virtual void DrawFills(const CRect* rects, int count, COLORREF colour);
    virtual void DrawInvert(const CRect& r) = 0;
    virtual void DrawFocus(const CRect& r) = 0;
    // The rectangle arrives as the caller gave it, not normalised.
    virtual void DrawPicture(const CRect& r, const QImage& image) = 0;
    virtual void DrawTextRun(int x, int y, UINT options, const CRect* rect, const CString& text,
                             const int* dx) = 0;

private:
    QRegion SurfaceRegion() const;
    // The surface within the clip region, in device pixels.
    QRegion VisibleRegion() const;
    static int RegionKind(const QRegion& region);
    // Makes clip the clip region and answers the kind of the visible region.
    int SetClip(const QRegion& clip);
    void ClipChanged() { ++m_clipGeneration; }

    State m_s;
    std::vector<State> m_saved;
    bool m_printing;
    unsigned m_clipGeneration = 0;
    QStringList m_omissions;
};
