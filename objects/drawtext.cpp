#include "objects/drawtext.h"

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/dc.h"
#include "framework/resourcemodule.h"
#include "objects/bigdecimal.h"
#include "objects/drawviewbase.h"
#include "framework/resourcemanager.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>

IMPLEMENT_SERIAL(CDrawText, CDrawRect, VERSIONABLE_SCHEMA | 7)

namespace {

constexpr UINT IDS_TEXT_NAME = 8;
// Device units the layout measures in: with the view's window extent of 1536 per inch, one
// device unit is 16 logical units whatever the zoom or device.
constexpr int kLayoutDpi = 96;
constexpr int kReferenceHeight = 256;
constexpr int kNewestSchema = 7;

TEXTMETRICW MetricsOf(CDC* dc, const LOGFONTW& description)
{
    CDrawFontScope font(dc, description);
    TEXTMETRICW tm;
    dc->GetTextMetrics(&tm);
    return tm;
}

// The 92 bytes of a font description, field by field in little-endian order.
void WriteLogFont(CArchive& ar, const LOGFONTW& lf)
{
    ar << int(lf.lfHeight) << int(lf.lfWidth) << int(lf.lfEscapement) << int(lf.lfOrientation)
       << int(lf.lfWeight);
    ar << lf.lfItalic << lf.lfUnderline << lf.lfStrikeOut << lf.lfCharSet << lf.lfOutPrecision
       << lf.lfClipPrecision << lf.lfQuality << lf.lfPitchAndFamily;
    for (char16_t c : lf.lfFaceName)
        ar << WORD(c);
}

void ReadLogFont(CArchive& ar, LOGFONTW& lf)
{
    int longs[5];
    for (int& v : longs)
        ar >> v;
    lf.lfHeight = longs[0];
    lf.lfWidth = longs[1];
    lf.lfEscapement = longs[2];
    lf.lfOrientation = longs[3];
    lf.lfWeight = longs[4];
    ar >> lf.lfItalic >> lf.lfUnderline >> lf.lfStrikeOut >> lf.lfCharSet >> lf.lfOutPrecision
        >> lf.lfClipPrecision >> lf.lfQuality >> lf.lfPitchAndFamily;
    for (char16_t& c : lf.lfFaceName) {
        WORD w = 0;
        ar >> w;
        c = char16_t(w);
    }
    // A face name that fills the array is cut so that it always ends.
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

CDrawText::CDrawText()
{
    ResetBindingToTemplate();
}

CDrawText::CDrawText(const CRect& position, CDrawViewBase* view, const CString& text)
    : CDrawRect(position), m_text(text)
{
    m_pView = view;
    m_bPen = FALSE;
    m_bBrush = FALSE;
    ResetBindingToTemplate();
    SetFaceName(m_logfont, QString::fromUtf16(u"\u7D30\u660E\u9AD4"));
    m_logfont.lfWeight = FW_NORMAL;
    std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr;
    m_logfont.lfHeight = MulDiv(12, dc ? dc->GetWindowExt().cy : 1536, 72);
    if (dc) {
        // Grows to the text where the drawn rectangle is smaller, never shrinks.
        CRect needed = m_position;
        CDrawText::FitToText(dc.get(), &needed, m_text);
        if (m_position.Width() < needed.Width())
            m_position.right = needed.right;
        if (m_position.Height() < needed.Height())
            m_position.bottom = needed.bottom;
    }
}

CDrawText::~CDrawText() = default;

void CDrawText::ResetBindingToTemplate()
{
    LoadBindingDocument(m_content, BindingTemplate());
}

// ---------------------------------------------------------------------------------------------
// Text and layout

void CDrawText::GetDrawString(CDC* dc, int labelIndex, CString* out) const
{
    if (!out)
        return;
    switch (m_content.mode) {
    case CONTENT_FIXED:
        *out = m_text;
        break;
    case CONTENT_DATA:
        if (!GetRecordString(dc, labelIndex, out))
            *out = m_text;
        break;
    case CONTENT_SERIAL:
        *out = SerialDrawString(m_content.prefix, m_content.suffix, m_text, m_content.step,
                                m_content.repeat, m_content.direction, labelIndex);
        break;
    default:
        out->clear();
        break;
    }
}

BOOL CDrawText::GetRecordString(CDC* dc, int labelIndex, CString* out) const
{
    // Only a print job has records; the screen, fitting and measuring show the stored text.
    if (!dc || !dc->IsPrinting() || !m_pDocument || labelIndex < 0)
        return FALSE;
    const CPrintDataGrid* records = m_pDocument->GetPrintRecords();
    if (!records || labelIndex >= records->GetRowCount())
        return FALSE;
    const CString& table = m_pDocument->GetTableName();
    out->clear();
    for (const CDataItem& item : GetDataItems(m_content)) {
        const bool ours = item.table.isEmpty() || item.table == table;
        const int column = ours ? records->FindColumn(item.field) : 0;
        *out += ApplyTextEscapes(item.prefix) + records->GetValue(labelIndex, column) + ApplyTextEscapes(item.suffix);
    }
    return TRUE;
}

CString CDrawText::GetDrawString(CDC* dc, int labelIndex) const
{
    CString s;
    GetDrawString(dc, labelIndex, &s);
    return s;
}

void CDrawText::CreateDrawFont(CDC* dc, CFont* font, LOGFONTW description)
{
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = PROOF_QUALITY;
    description.lfPitchAndFamily = FIXED_PITCH;
    if (dc)
        dc->SetBkMode(TRANSPARENT);
    font->CreateFontIndirectW(&description);
}

CDrawFontScope::CDrawFontScope(CDC* dc, const LOGFONTW& description) : m_dc(dc)
{
    if (!m_dc)
        return;
    CDrawText::CreateDrawFont(m_dc, &m_font, description);
    m_old = m_dc->SelectObject(&m_font);
}

CDrawFontScope::~CDrawFontScope()
{
    if (!m_dc)
        return;
    m_dc->SelectObject(m_old);
    CDrawText::DeleteDrawFont(&m_font);
}

void CDrawText::DeleteDrawFont(CFont* font)
{
    font->DeleteObject();
}

CTextLayout CDrawText::LayoutText(CDC* dc, const LOGFONTW& description, const CString& text)
{
    CTextLayout layout;
    if (!dc)
        return layout;
    const CSize oldViewport = dc->GetViewportExt();
    dc->SetViewportExt(kLayoutDpi, kLayoutDpi);

    // Characters are measured in a font of a fixed reference height and scaled to the
    // description, so that their widths do not depend on how the device rounds small fonts.
    const LONG average = MetricsOf(dc, description).tmAveCharWidth;
    LOGFONTW reference = description;
    reference.lfHeight = kReferenceHeight;
    reference.lfWidth = 0;
    {
        CDrawFontScope referenceFont(dc, reference);
        TEXTMETRICW tm;
        dc->GetTextMetrics(&tm);
        const double sx = tm.tmAveCharWidth != 0 ? double(average) / tm.tmAveCharWidth : 1.0;
        const double sy = double(description.lfHeight) / kReferenceHeight;
        const int lineHeight = SaturateInt(std::fabs(tm.tmHeight * sy));

        qint64 x = 0;
        qint64 y = 0;
        qint64 width = 0;
        qint64 height = lineHeight;
        int line = 0;
        QHash<char16_t, int> widths;
        layout.chars.reserve(size_t(text.size()));
        for (QChar c : text) {
            if (c == u'\r') {
                x = 0;
                layout.chars.emplace_back(0, SaturateInt(y), 0, line);
            } else if (c == u'\n') {
                ++line;
                x = 0;
                y += lineHeight;
                height += lineHeight;
                layout.chars.emplace_back(0, SaturateInt(y), 0, line);
            } else {
                // Each character is measured alone, so each distinct one needs measuring once.
                auto known = widths.constFind(c.unicode());
                if (known == widths.cend()) {
                    CSize extent;
                    dc->GetTextExtentPoint32W(CString(c), 1, &extent);
                    known = widths.insert(c.unicode(), SaturateInt(extent.cx * sx));
                }
                const int w = *known;
                layout.chars.emplace_back(SaturateInt(x), SaturateInt(y), w, line);
                x += w + kCharSpacing;
            }
            width = std::max(width, x);
        }
        layout.width = SaturateInt(width);
        layout.height = SaturateInt(height);
        layout.lineCount = line + 1;
    }
    dc->SetViewportExt(oldViewport);
    return layout;
}

void CDrawText::FitToText(CDC* dc, CRect* rect, const CString& text)
{
    if (!rect)
        return;
    const CTextLayout layout = LayoutText(dc, m_logfont, text);
    rect->right = SaturateInt(qint64(rect->left) + layout.width);
    rect->bottom = SaturateInt(qint64(rect->top) + layout.height);
}

void CDrawText::UpdateSize(CRect* out)
{
    if (!out || !m_pView)
        return;
    std::unique_ptr<CDC> dc = m_pView->CreateClientDC();
    if (dc)
        FitToText(dc.get(), out, GetDrawString(dc.get(), 0));
}

// ---------------------------------------------------------------------------------------------
// Drawing

namespace {

qint64 FloorHalf(qint64 v)
{
    return v >= 0 ? v / 2 : -((1 - v) / 2);
}

// A font size scaled down keeps at least one unit: a height or width of 0 would stand for the
// font's natural size and draw a squeezed text at full size.
LONG Squeezed(LONG size, double scale)
{
    const int scaled = SaturateInt(size * scale);
    return scaled == 0 && size != 0 ? (size < 0 ? -1 : 1) : scaled;
}

}  // namespace

CRect CTurnedDrawScope::TurnBox(const CRect& box, int tenths)
{
    const int turn = int(((qint64(tenths) % 3600) + 3600) % 3600);
    if (turn != 900 && turn != 2700)
        return box;
    const qint64 l = box.left, t = box.top, r = box.right, b = box.bottom;
    const qint64 w = r - l, h = b - t;
    const qint64 left = FloorHalf(l + r - h), top = FloorHalf(t + b - w);
    return CRect(SaturateInt(left), SaturateInt(top), SaturateInt(left + h), SaturateInt(top + w));
}

CRect CTurnedDrawScope::UnturnBox(const CRect& box, int tenths)
{
    const int turn = int(((qint64(tenths) % 3600) + 3600) % 3600);
    if (turn != 900 && turn != 2700)
        return box;
    // The box whose TurnBox is exactly this one: one of two neighbouring left (top) edges is.
    const qint64 w = qint64(box.right) - box.left, h = qint64(box.bottom) - box.top;
    const qint64 dl = 2 * qint64(box.left) + w - h, dt = 2 * qint64(box.top) + h - w;
    const qint64 left = dl % 2 == 0 ? dl / 2 : FloorHalf(dl + 1);
    const qint64 top = dt % 2 == 0 ? dt / 2 : FloorHalf(dt + 1);
    return CRect(SaturateInt(left), SaturateInt(top), SaturateInt(left + h), SaturateInt(top + w));
}

CPoint CTurnedDrawScope::TurnVector(CPoint v, int tenths)
{
    const int turn = int(((qint64(tenths) % 3600) + 3600) % 3600);
    if (turn % 900 != 0)
        return v;
    for (int q = turn / 900; q > 0; --q)
        v = CPoint(v.y, SaturateInt(-qint64(v.x)));
    return v;
}

CRect CTurnedDrawScope::FollowUpright(const CRect& seen, const CRect& upright, const CRect& changed, int tenths)
{
    const int turn = int(((qint64(tenths) % 3600) + 3600) % 3600);
    if (turn % 900 != 0)
        return changed;
    // The upright top-left and bottom-right corners are these corners of the turned box.
    const int back = 2 * (turn / 900);
    const CPoint a = CDrawObj::HandlePointOf(seen, (8 - back) % 8 + 1);
    const CPoint b = CDrawObj::HandlePointOf(seen, (12 - back) % 8 + 1);
    const CPoint da = TurnVector(CPoint(SaturateInt(qint64(changed.left) - upright.left),
                                        SaturateInt(qint64(changed.top) - upright.top)), turn);
    const CPoint db = TurnVector(CPoint(SaturateInt(qint64(changed.right) - upright.right),
                                        SaturateInt(qint64(changed.bottom) - upright.bottom)), turn);
    const qint64 x1 = qint64(a.x) + da.x, y1 = qint64(a.y) + da.y;
    const qint64 x2 = qint64(b.x) + db.x, y2 = qint64(b.y) + db.y;
    return CRect(SaturateInt(std::min(x1, x2)), SaturateInt(std::min(y1, y2)), SaturateInt(std::max(x1, x2)),
                 SaturateInt(std::max(y1, y2)));
}

void CDrawText::FitBoxToText(CDC* dc, const CString& text)
{
    const int turn = m_logfont.lfEscapement;
    const CRect upright = CTurnedDrawScope::TurnBox(m_position, turn);
    CRect fitted = upright;
    FitToText(dc, &fitted, text);
    if (fitted != upright)
        m_position = CTurnedDrawScope::UnturnBox(fitted, turn);
}

CTurnedDrawScope::CTurnedDrawScope(CDC* dc, CDrawText* obj) : m_dc(dc), m_obj(obj)
{
    m_turn = int(((qint64(obj->m_logfont.lfEscapement) % 3600) + 3600) % 3600);
    if (!dc || m_turn == 0)
        return;
    m_stored = obj->m_position;
    m_unturned = TurnBox(m_stored, m_turn);
    m_escapement = obj->m_logfont.lfEscapement;
    m_orientation = obj->m_logfont.lfOrientation;
    obj->m_position = m_unturned;
    obj->m_logfont.lfEscapement = 0;
    obj->m_logfont.lfOrientation = 0;
    m_saved = dc->SaveDC();
    const CPoint centre(SaturateInt((qint64(m_unturned.left) + m_unturned.right) / 2),
                        SaturateInt((qint64(m_unturned.top) + m_unturned.bottom) / 2));
    dc->SetRotation(m_turn, centre);
}

CTurnedDrawScope::~CTurnedDrawScope()
{
    if (!m_dc || m_turn == 0)
        return;
    m_dc->RestoreDC(m_saved);
    // Turning back and forth need not meet to the unit: the stored box changes only when the
    // drawing refitted the unturned one.
    const CRect drawn = m_obj->m_position;
    m_obj->m_position = drawn == m_unturned ? m_stored : UnturnBox(drawn, m_turn);
    m_obj->m_logfont.lfEscapement = m_escapement;
    m_obj->m_logfont.lfOrientation = m_orientation;
}

void CDrawText::Draw(CDC* dc, int labelIndex)
{
    if (!dc)
        return;
    const CTurnedDrawScope turned(dc, this);
    const CString text = GetDrawString(dc, labelIndex);
    CTextLayout layout = LayoutText(dc, m_logfont, text);

    // Lines are measured without the spacing after their last character.
    std::vector<qint64> lineWidths(size_t(layout.lineCount), 0);
    for (const CTextCharPoint& c : layout.chars)
        lineWidths[size_t(c.m_line)] = std::max(lineWidths[size_t(c.m_line)], qint64(c.x) + c.m_width);
    const qint64 widest = lineWidths.empty() ? 0 : *std::max_element(lineWidths.begin(), lineWidths.end());
    const qint64 high = layout.height;

    LOGFONTW drawFont = m_logfont;
    drawFont.lfWidth = MetricsOf(dc, m_logfont).tmAveCharWidth;

    // Squeezed in whichever direction the text is too big for the box; in sizing mode 1
    // stretched or squeezed to fill it exactly. An empty layout keeps its font.
    const qint64 boxWidth = qint64(m_position.right) - m_position.left;
    const qint64 boxHeight = qint64(m_position.bottom) - m_position.top;
    const bool fillBox = m_content.sizingMode == 1;
    double sx = 1.0;
    if ((widest > boxWidth || fillBox) && widest != 0) {
        sx = double(boxWidth) / double(widest);
        drawFont.lfWidth = Squeezed(drawFont.lfWidth, sx);
        for (CTextCharPoint& c : layout.chars) {
            c.x = SaturateInt(c.x * sx);
            c.m_width = SaturateInt(c.m_width * sx);
        }
    }
    if ((high > boxHeight || fillBox) && high != 0) {
        const double sy = double(boxHeight) / double(high);
        drawFont.lfHeight = Squeezed(drawFont.lfHeight, sy);
        for (CTextCharPoint& c : layout.chars)
            c.y = SaturateInt(c.y * sy);
    }
    if (m_content.alignment == ALIGN_CENTRE || m_content.alignment == ALIGN_RIGHT) {
        const double share = m_content.alignment == ALIGN_CENTRE ? 0.5 : 1.0;
        for (CTextCharPoint& c : layout.chars)
            c.x = SaturateInt(c.x + qint64(SaturateInt((boxWidth - lineWidths[size_t(c.m_line)] * sx) * share)));
    }

    // A text squeezed below one device pixel high cannot be seen: its characters are not drawn.
    // (The height is mapped 64 times over, so that the device's rounding does not decide.)
    constexpr int kProbe = 64;
    CSize cell(0, SaturateInt(std::abs(qint64(drawFont.lfHeight)) * kProbe));
    dc->LPtoDP(&cell);
    if (std::abs(qint64(cell.cy)) >= kProbe) {
        CDrawFontScope font(dc, drawFont);
        const COLORREF oldColour = dc->SetTextColor(m_textColor);
        DrawRuns(dc, text, layout, std::max(SaturateInt(std::abs(qint64(drawFont.lfHeight))), kReferenceHeight));
        dc->SetTextColor(oldColour);
    }

    DrawBindingMarker(dc);
}

void CDrawText::DrawRuns(CDC* dc, const CString& text, const CTextLayout& layout, int cellHeight) const
{
    // Characters that the visible area cannot show are left out: those whose cell, widened on
    // every side by a cell height for glyphs reaching past it, lies outside. Turned drawing
    // keeps them all, as the clip box is not turned with it.
    CRect visible;
    const bool clipping = dc->GetRotation() == 0 && dc->GetClipBox(&visible) != 0;
    const qint64 reach = qint64(cellHeight) + 1;
    auto shown = [&](const CTextCharPoint& at) {
        if (!clipping)
            return true;
        const qint64 x = qint64(m_position.left) + at.x, y = qint64(m_position.top) + at.y;
        return x + at.m_width + reach > visible.left && x - reach < visible.right && y + 2 * reach > visible.top
            && y - reach < visible.bottom;
    };

    // Neighbours on one line go out as one run, each placed by its spacing entry exactly where
    // it would have been drawn alone; runs are bounded so that no call holds a whole long text.
    constexpr qsizetype kMaxRun = 512;
    std::vector<int> dx;
    dx.reserve(size_t(std::min(text.size(), kMaxRun)));
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n' || !shown(layout.chars[size_t(i)])) {
            ++i;
            continue;
        }
        const CTextCharPoint& first = layout.chars[size_t(i)];
        qsizetype end = i + 1;
        while (end < text.size() && end - i < kMaxRun && text[end] != u'\r' && text[end] != u'\n'
               && layout.chars[size_t(end)].y == first.y && shown(layout.chars[size_t(end)]))
            ++end;
        dx.clear();
        for (qsizetype k = i; k + 1 < end; ++k)
            dx.push_back(SaturateInt(qint64(layout.chars[size_t(k + 1)].x) - layout.chars[size_t(k)].x));
        dx.push_back(layout.chars[size_t(end - 1)].m_width);
        dc->ExtTextOut(SaturateInt(qint64(m_position.left) + first.x), SaturateInt(qint64(m_position.top) + first.y),
                       ETO_IGNORELANGUAGE, nullptr, text.mid(i, end - i), dx.data());
        i = end;
    }
}

void CDrawText::DrawBindingMarker(CDC* dc)
{
    if (m_content.mode != CONTENT_DATA || dc->IsPrinting())
        return;
    const CString* table = m_content.binding.FirstElementTable();
    if (!table)
        return;
    const CString docTable = m_pDocument ? m_pDocument->GetTableName() : CString();
    const int icon = table->isEmpty() || *table == docTable ? 3 : 1;

    // 16 device pixels square at the bottom-right corner, inside the rectangle.
    const CSize window = dc->GetWindowExt();
    const CSize viewport = dc->GetViewportExt();
    const double s = viewport.cx != 0 ? double(window.cx) / viewport.cx * 16.0 : 16.0;
    const int x = SaturateInt(m_position.right - s);
    const int y = SaturateInt(m_position.bottom - s);
    const int side = SaturateInt(s);
    CResourceManager::GetInstance()->DrawImage(dc, CResourceManager::kMarkerBitmap, icon, x, y,
                                               SaturateInt(qint64(x) + side) - x,
                                               SaturateInt(qint64(y) + side) - y);
}

void CDrawText::DrawDottedFrame(CDC* dc, COLORREF colour)
{
    if (!dc)
        return;
    CPen pen(PS_DOT, 0, colour);
    CPen* old = dc->SelectObject(&pen);
    const CRect& r = m_position;
    dc->MoveTo(r.left, r.top);
    dc->LineTo(r.right, r.top);
    dc->LineTo(r.right, r.bottom);
    dc->LineTo(r.left, r.bottom);
    dc->LineTo(r.left, r.top);
    dc->SelectObject(old);
}

void CDrawText::DrawSelectionMark(CDC* dc, int)
{
    DrawDottedFrame(dc, RGB(0, 255, 0));
}

void CDrawText::DrawFrame(CDC* dc, int, COLORREF colour)
{
    DrawDottedFrame(dc, colour);
}

// ---------------------------------------------------------------------------------------------
// Editing

void CDrawText::AssignDefaultName(CDrawViewBase* view)
{
    CDrawDoc* doc = view ? dynamic_cast<CDrawDoc*>(view->GetDocument()) : nullptr;
    if (!doc)
        doc = m_pDocument;
    if (doc)
        m_name = QStringLiteral("%1 %2")
                     .arg(CResourceModule::Get().LoadString(IDS_TEXT_NAME))
                     .arg(doc->GetNextTextNumber());
}

bool SameLogFont(const LOGFONTW& a, const LOGFONTW& b)
{
    return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
           a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
           a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
           a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
           a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
           FaceNameOf(a) == FaceNameOf(b);
}

BOOL CDrawText::OnEditProperties(CDrawViewBase* view)
{
    m_sheet.flags |= 0x80;  // PSH_NOAPPLYNOW: the sheet applies on OK only
    // The pages edit copies: a cancelled sheet leaves text, name, font and colour as they were.
    const LOGFONTW kept = m_logfont;
    CContentPageData content;
    content.text = m_text;
    content.name = m_name;
    content.object = this;
    content.tables = m_pDocument ? &m_pDocument->GetSchemaMap() : nullptr;
    content.multiLine = TakesLineBreaks() ? 1 : 0;
    CFontPageData font {m_logfont, m_textColor};
    m_sheet.content = &content;
    m_sheet.font = HasFontPage() ? &font : nullptr;
    const BOOL ok = CDrawRect::OnEditProperties(view);
    m_sheet.content = nullptr;
    m_sheet.font = nullptr;
    if (!ok)
        return FALSE;
    // A data-bound object keeps its stored text: the screen, picture export and fitting show it,
    // and only a print job with records replaces it. The page does not let it be edited then.
    if (m_content.mode != CONTENT_DATA)
        m_text = content.text;
    m_name = content.name;
    m_logfont = font.font;
    m_textColor = font.color;
    m_logfont.lfEscapement = m_nRotation;
    if (!SameLogFont(m_logfont, kept)) {
        if (std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr) {
            // A turned text is fitted as it stands and its box turned again.
            const CRect upright = CTurnedDrawScope::TurnBox(m_position, m_logfont.lfEscapement);
            CRect box = upright;
            CRect needed = box;
            FitToText(dc.get(), &needed, GetDrawString(dc.get(), 0));
            Invalidate(view);
            if (m_content.sizingMode == 1) {
                box.right = needed.right;
                box.bottom = needed.bottom;
            } else {
                if (box.Width() < needed.Width())
                    box.right = needed.right;
                if (box.Height() < needed.Height())
                    box.bottom = needed.bottom;
            }
            if (box != upright)
                m_position = CTurnedDrawScope::FollowUpright(m_position, upright, box, m_logfont.lfEscapement);
        }
    }
    Invalidate(view);
    SetModified();
    return TRUE;
}

void CDrawText::Rotate90()
{
    CDrawRect::Rotate90();
    m_logfont.lfEscapement = m_nRotation;
}

void CDrawText::DragHandle(int n, CPoint point, CDrawViewBase* view)
{
    const int turn = int(((qint64(m_logfont.lfEscapement) % 3600) + 3600) % 3600);
    if (turn == 0 || turn % 900 != 0 || n < 1 || n > 8) {
        DragUprightHandle(n, point, view);
        return;
    }
    const CRect stored = m_position;
    const LONG escapement = m_logfont.lfEscapement;
    const CRect upright = CTurnedDrawScope::TurnBox(stored, turn);
    // Each quarter turn back moves a handle two places round the box; the point keeps its
    // offset from the handle, turned back.
    const int un = (n - 1 + 2 * (turn / 900)) % 8 + 1;
    const CPoint from = HandlePointOf(stored, n), to = HandlePointOf(upright, un);
    const CPoint offset = CTurnedDrawScope::TurnVector(
        CPoint(SaturateInt(qint64(point.x) - from.x), SaturateInt(qint64(point.y) - from.y)), -turn);
    Invalidate(view);
    m_position = upright;
    m_logfont.lfEscapement = 0;
    DragUprightHandle(un, CPoint(SaturateInt(qint64(to.x) + offset.x), SaturateInt(qint64(to.y) + offset.y)), view);
    m_logfont.lfEscapement = escapement;
    m_position = CTurnedDrawScope::FollowUpright(stored, upright, m_position, turn);
    Invalidate(view);
}

void CDrawText::DragUprightHandle(int n, CPoint point, CDrawViewBase* view)
{
    if (!view) {
        CDrawRect::DragHandle(n, point, view);
        return;
    }
    // The rectangle keeps at least kMinSide units in each direction.
    const CRect& r = m_position;
    switch (n) {
    case 1: point.x = std::min(point.x, r.right - kMinSide); point.y = std::min(point.y, r.bottom - kMinSide); break;
    case 2: point.y = std::min(point.y, r.bottom - kMinSide); break;
    case 3: point.x = std::max(point.x, r.left + kMinSide); point.y = std::min(point.y, r.bottom - kMinSide); break;
    case 4: point.x = std::max(point.x, r.left + kMinSide); break;
    case 5: point.x = std::max(point.x, r.left + kMinSide); point.y = std::max(point.y, r.top + kMinSide); break;
    case 6: point.y = std::max(point.y, r.top + kMinSide); break;
    case 7: point.x = std::min(point.x, r.right - kMinSide); point.y = std::max(point.y, r.top + kMinSide); break;
    case 8: point.x = std::min(point.x, r.right - kMinSide); break;
    default: break;
    }
    std::unique_ptr<CDC> dc = m_content.sizingMode == 1 ? view->CreateClientDC() : nullptr;
    const CRect before = m_position;
    CDrawRect::DragHandle(n, point, view);
    if (!dc || m_position == before)
        return;

    // The font follows the box: its width scales with the box's width and its height is the
    // box's height shared among the lines. An empty text keeps its font.
    const CString text = GetDrawString(dc.get(), 0);
    LOGFONTW natural = m_logfont;
    natural.lfWidth = 0;
    const int w = LayoutText(dc.get(), natural, text).width;
    if (w <= 0)
        return;
    const LONG average = MetricsOf(dc.get(), natural).tmAveCharWidth;
    const qsizetype lines = 1 + text.count(u'\n');
    Invalidate(view);
    m_logfont.lfWidth = SaturateInt((qint64(m_position.right) - m_position.left) * average / w);
    m_logfont.lfHeight = SaturateInt((qint64(m_position.bottom) - m_position.top) / lines);
    const int w2 = LayoutText(dc.get(), m_logfont, text).width;
    if (n == 1 || n == 7 || n == 8)
        m_position.left = SaturateInt(qint64(m_position.right) - w2);
    else if (n == 3 || n == 4 || n == 5)
        m_position.right = SaturateInt(qint64(m_position.left) + w2);
    Invalidate(view);
    SetModified();
}

// ---------------------------------------------------------------------------------------------
// Archive record

void CDrawText::Serialize(CArchive& ar)
{
    CDrawRect::Serialize(ar);
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawText));
        ar << m_content.mode << m_content.direction << m_content.repeat << m_content.step;
        ar << m_content.prefix << m_content.suffix;
        WriteLogFont(ar, m_logfont);
        ar << DWORD(m_textColor) << m_text << m_name;
        ar << m_content.binding.Xml();
        ar << m_content.sizingMode << m_content.alignment;
        return;
    }

    const UINT schema = ReadLevelClass(ar, RUNTIME_CLASS(CDrawText));
    const int s = std::max(int(schema), 0);
    if (s > kNewestSchema)
        throw CArchiveException(CArchiveException::badSchema,
                                "text object of schema " + std::to_string(s) + ": a newer or damaged file");

    ar >> m_content.mode >> m_content.direction >> m_content.repeat >> m_content.step;
    ar >> m_content.prefix >> m_content.suffix;
    ReadLogFont(ar, m_logfont);
    if (s >= 4) {
        DWORD colour = 0;
        ar >> colour;
        m_textColor = colour;
    }
    ar >> m_text;
    if (s >= 2)
        ar >> m_name;

    if (s == kNewestSchema) {
        CString xml;
        ar >> xml >> m_content.sizingMode >> m_content.alignment;
        // A binding document that does not parse even after the clean-up is replaced by the
        // empty template: the object loads without data items and stores a well-formed document.
        if (!LoadBindingDocument(m_content, xml))
            ResetBindingToTemplate();
    } else if (s >= 3) {
        CString table, field;
        ar >> table >> field;
        if (s >= 5)
            ar >> m_content.sizingMode;
        if (s >= 6)
            ar >> m_content.alignment;
        // Older files bind one field, with the object's prefix and suffix.
        RemoveAllDataItems(m_content);
        if (m_content.mode == CONTENT_DATA)
            AddDataItem(m_content, table, field, m_content.prefix, m_content.suffix);
    }

    m_pView = m_pDocument ? m_pDocument->GetDrawView() : nullptr;
    if (s <= 1)
        AssignDefaultName(m_pView);
    ar.SetObjectSchema(schema);
}
