#pragma once
// A device context that draws nothing: it records every primitive in logical units, with the
// pen, brush, font, colours and clip box in effect, and answers text measures from a fixed table
// so that layout code can be tested with exact numbers.
//
// Font table, for a font of height h = |lfHeight| logical units (16 device pixels when 0) and
// average width a = |lfWidth|, or h / 2 when lfWidth is 0: narrow characters (space, punctuation
// such as . , : ; ' ! | ( ) [ ] - / and the letters f i j l t I and the digit 1) are a / 2 wide,
// wide ones (M W m w @ and everything from U+2E80 on, the ideographs) 2a, all others a. The cell
// is h high with ascent h - h / 5 and descent h / 5.

#include "framework/dc.h"

#include <vector>

struct CRecordedPrimitive {
    enum class Kind { Rectangle, RoundRect, Ellipse, Polygon, Line, Fill, Invert, FocusRect, Text, Image };

    Kind kind = Kind::Rectangle;
    CRect rect;                 // shapes, fills, inversions, pictures; a text's option rectangle
    CPoint corner;              // size of a rounded rectangle's corner ellipse
    std::vector<CPoint> points; // polygon points; a line's start and end; a text's position
    COLORREF colour = 0;        // fills
    LOGPEN pen;
    LOGBRUSH brush;
    LOGFONTW font;
    COLORREF textColor = 0;
    COLORREF bkColor = 0;
    int bkMode = 0;
    CString text;
    UINT options = 0;
    bool hasRect = false;       // a text was given an option rectangle
    std::vector<int> dx;
    QImage image;               // a drawn picture
    CRect clipBox;              // GetClipBox at the time of drawing
    bool clipped = false;       // a clip region was in effect
    int rotation = 0;           // the context's turn (tenths of a degree) and its centre
    CPoint rotationCentre;
};

class CRecordingDC : public CDC {
public:
    explicit CRecordingDC(CSize deviceSize = CSize(1280, 1024), int dpi = 96, bool printing = false);

    void SetResolution(int dpiX, int dpiY) { m_dpiX = dpiX; m_dpiY = dpiY; }
    void SetDeviceSize(CSize size) { m_size = size; }
    // The whole sheet and the printable area's offset on it, in pixels; by default the sheet is
    // the printable area.
    void SetPhysicalPage(CSize size, CPoint offset) { m_physical = size; m_offset = offset; }
    void SetPrinting(bool printing) { SetPrintingFlag(printing); }

    std::vector<CRecordedPrimitive> records;

    // Width of one character in the table, for an average width a.
    static int CharWidth(char16_t c, int averageWidth);

protected:
    CSize SurfaceSize() const override { return m_size; }
    int DeviceCapability(int index) const override;
    TEXTMETRICW MeasureFont() override;
    CSize MeasureText(const CString& text) override;
    void DrawRectangle(const CRect& r) override;
    void DrawRoundRect(const CRect& r, CPoint corner) override;
    void DrawEllipse(const CRect& r) override;
    void DrawPolygon(const CPoint* points, int count) override;
    void DrawLine(const CPoint& from, const CPoint& to) override;
    void DrawFill(const CRect& r, COLORREF colour) override;
    void DrawInvert(const CRect& r) override;
    void DrawFocus(const CRect& r) override;
    void DrawPicture(const CRect& r, const QImage& image) override;
    void DrawTextRun(int x, int y, UINT options, const CRect* rect, const CString& text,
                     const int* dx) override;

private:
    CRecordedPrimitive& Record(CRecordedPrimitive::Kind kind);
    int FontHeight() const;
    int AverageWidth() const;

    CSize m_size;
    int m_dpiX;
    int m_dpiY;
    CSize m_physical;
    CPoint m_offset;
};
