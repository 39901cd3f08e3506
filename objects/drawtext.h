#pragma once
// The text object: fixed text, a serial number or a data-bound field, drawn in the object's
// font inside its rectangle. It is also the base of every symbol-carrying object, which
// inherits its content block, font and archive record.
//
// Text is measured and placed at a fixed scale of 16 logical units per device unit, so a label
// looks the same at every zoom and on every printer.

#include "framework/gdi.h"
#include "objects/drawobj.h"
#include "objects/xmlhelper.h"

#include <vector>

class CDC;

// One character of a laid-out text, in logical units relative to the object's top-left
// corner. Carriage returns and line feeds have records of width 0.
class CTextCharPoint : public CPoint {
public:
    CTextCharPoint() = default;
    CTextCharPoint(int x, int y, int width, int line) : CPoint(x, y), m_width(width), m_line(line) {}

    int m_width = 0;
    int m_line = 0;
};

// The characters of a text placed one by one: every character is measured alone and followed
// by 10 units of spacing (the last one too); lines break only at line feeds.
struct CTextLayout {
    std::vector<CTextCharPoint> chars;  // one per character of the text, in text order
    int width = 0;       // the largest x reached, trailing spacing included
    int height = 0;      // line height x (line feeds + 1)
    int lineCount = 1;
};

class CDrawText : public CDrawRect {
    DECLARE_SERIAL(CDrawText)
protected:
    CDrawText();

public:
    // Spacing after every character, in logical units.
    static constexpr int kCharSpacing = 10;
    // The smallest side a text object can be dragged to.
    static constexpr int kMinSide = 50;

    // A new object of the tools and the palette: 12-point text, the rectangle enlarged to the
    // text where it is smaller.
    CDrawText(const CRect& position, CDrawViewBase* view, const CString& text);
    ~CDrawText() override;

    void Serialize(CArchive& ar) override;

    void AssignDefaultName(CDrawViewBase* view) override;
    void Draw(CDC* dc, int labelIndex) override;
    void DrawSelectionMark(CDC* dc, int state) override;
    // A turned object's handle is dragged as the matching handle of the object turned back
    // (DragUprightHandle); each corner of the box then moves as its turned-back corner did.
    void DragHandle(int n, CPoint point, CDrawViewBase* view = nullptr) final;
    void Rotate90() override;
    // The data-source page, first and active, then the font page. On OK the text (kept as it
    // was for a data-bound object), name, font and colour are taken, the escapement follows the
    // rotation, and a text whose font changed is refitted.
    BOOL OnEditProperties(CDrawViewBase* view) override;
    // Whether the text typed on the data-source page may hold line breaks.
    virtual bool TakesLineBreaks() const { return true; }

    virtual void DrawFrame(CDC* dc, int state, COLORREF colour);
    // The rectangle the text for label 0 needs, from the out rectangle's left and top.
    virtual void UpdateSize(CRect* out);
    // Sets rect's right and bottom to the extent of the laid-out text; the object stays as it is.
    virtual void FitToText(CDC* dc, CRect* rect, const CString& text);
    // Fits the object's box by FitToText as the object stands: a turned object's box is turned
    // back, fitted and turned again about its own centre (UnturnBox), and stays exactly as it
    // was when the fitted box is the same.
    void FitBoxToText(CDC* dc, const CString& text);

    // The text shown on label `labelIndex`: the stored text in the fixed mode, the serial number
    // with its prefix and suffix in serial mode, nothing in any other mode. A data-bound object
    // printed by a job that has records shows record `labelIndex`: for each data item in turn,
    // its prefix, the item's field value and its suffix (prefix and suffix with their markers
    // for control characters replaced; a field of another table, a field the records lack and
    // NULL give an empty value). Past the last record, without records and on any context
    // that is not printing it shows the stored text.
    void GetDrawString(CDC* dc, int labelIndex, CString* out) const;
    CString GetDrawString(CDC* dc, int labelIndex) const;
    // The record text of a data-bound object for the label; FALSE when the job has none.
    BOOL GetRecordString(CDC* dc, int labelIndex, CString* out) const;

    // Lays the text out in the font of the description (see CTextLayout).
    static CTextLayout LayoutText(CDC* dc, const LOGFONTW& font, const CString& text);
    // Makes the font every text drawing and measure uses; also makes the background transparent.
    static void CreateDrawFont(CDC* dc, CFont* font, LOGFONTW description);
    static void DeleteDrawFont(CFont* font);

    CContentBlock& Content() { return m_content; }
    const CContentBlock& Content() const { return m_content; }
    CDrawViewBase* GetView() const { return m_pView; }
    void SetView(CDrawViewBase* view) { m_pView = view; }

    LOGFONTW m_logfont {};
    COLORREF m_textColor = 0;
    CString m_text;  // fixed text, serial start value, or what a data-bound object shows unprinted

protected:
    // Drags a handle of the object standing upright.
    virtual void DragUprightHandle(int n, CPoint point, CDrawViewBase* view);
    bool HasShapePage() const override { return false; }
    // The 2-D code objects show their own page in place of the font page.
    virtual bool HasFontPage() const { return true; }
    // The binding marker of a data-bound object in the design view, at the rectangle's
    // bottom-right corner.
    void DrawBindingMarker(CDC* dc);
    // The characters of a laid-out text that the visible area can show, in runs along their
    // lines; cellHeight is the drawing font's cell height in logical units.
    void DrawRuns(CDC* dc, const CString& text, const CTextLayout& layout, int cellHeight) const;
    // A dotted frame round the position.
    void DrawDottedFrame(CDC* dc, COLORREF colour);
    void ResetBindingToTemplate();

    CContentBlock m_content;
    CDrawViewBase* m_pView = nullptr;
};

// A font made from a description by CreateDrawFont and selected into a DC for the life of the
// scope; the previous font comes back and the font is freed when the scope ends.
// Whether two font descriptions describe the same font, field by field (the face name up to its
// end).
bool SameLogFont(const LOGFONTW& a, const LOGFONTW& b);

// A text or barcode turned by its escapement is drawn as a whole, turned about its box: while
// the scope lives, the object is laid out unturned in its box turned back about the centre, with
// an unturned font, and the context turns the drawing by the escapement about that centre. The
// stored fields are given back when it goes; when the drawing refitted the unturned box, the
// stored box becomes the refitted one turned about its own centre (UnturnBox), which keeps a
// box that devices of different rounding fit in turn from creeping.
class CTurnedDrawScope {
public:
    CTurnedDrawScope(CDC* dc, CDrawText* obj);
    ~CTurnedDrawScope();
    CTurnedDrawScope(const CTurnedDrawScope&) = delete;
    CTurnedDrawScope& operator=(const CTurnedDrawScope&) = delete;

    // The box with its width and height exchanged about its centre for a quarter or three
    // quarters of a turn; unchanged otherwise.
    static CRect TurnBox(const CRect& box, int tenths);
    // The box that TurnBox turns into exactly this one.
    static CRect UnturnBox(const CRect& box, int tenths);
    // A vector turned by whole quarter turns counter-clockwise as seen; any other turn leaves it.
    static CPoint TurnVector(CPoint v, int tenths);
    // The turned box `seen`, whose box turned back was `upright`, after that one became
    // `changed`: each corner moves as its upright corner did, turned. Exact in whole units.
    static CRect FollowUpright(const CRect& seen, const CRect& upright, const CRect& changed, int tenths);

private:
    CDC* m_dc;
    CDrawText* m_obj;
    int m_turn = 0;
    int m_saved = 0;
    CRect m_stored;
    CRect m_unturned;
    LONG m_escapement = 0;
    LONG m_orientation = 0;
};

class CDrawFontScope {
public:
    CDrawFontScope(CDC* dc, const LOGFONTW& description);
    ~CDrawFontScope();
    CDrawFontScope(const CDrawFontScope&) = delete;
    CDrawFontScope& operator=(const CDrawFontScope&) = delete;

private:
    CDC* m_dc;
    CFont m_font;
    CFont* m_old = nullptr;
};

