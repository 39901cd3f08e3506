#include "symbology/drawcode2d.h"

#include "document/drawdoc.h"
#include "framework/archive.h"
#include "framework/dc.h"
#include "objects/drawviewbase.h"
#include "symbology/drawbarcode.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kSmallestModule = 5;
constexpr COLORREF kEdgeHandleGrey = 0xBEBEBE;
constexpr int kSchema = 1;

}  // namespace

CModuleSizeTable CDrawCode2D::MakeModuleSizeTable(int largest)
{
    CModuleSizeTable table;
    for (int units = kSmallestModule; units <= largest; ++units)
        table.emplace(units, units / 1536.0 * double(25.4f));
    return table;
}

CDrawCode2D::CDrawCode2D(int largestModule) : m_sizes(MakeModuleSizeTable(largestModule)) {}

CDrawCode2D::CDrawCode2D(int largestModule, const CRect& position, CDrawViewBase* view, const CString& text)
    : CDrawText(position, view, text), m_sizes(MakeModuleSizeTable(largestModule))
{
    if (view)
        m_pDocument = dynamic_cast<CDrawDoc*>(view->GetDocument());
    // Fitting needs the object's own encoder: the derived constructor fits once that stands.
}

void CDrawCode2D::AssignDefaultName(CDrawViewBase* view)
{
    CDrawDoc* doc = view ? dynamic_cast<CDrawDoc*>(view->GetDocument()) : nullptr;
    if (!doc)
        doc = m_pDocument;
    if (doc)
        m_name = CodeObjectDefaultName(doc);
}

CString CDrawCode2D::MeasuredText(CDC* dc) const
{
    const CString text = GetDrawString(dc, 0);
    return text.isEmpty() ? Placeholder() : text;
}

void CDrawCode2D::FitToText(CDC*, CRect* rect, const CString& text)
{
    if (!rect)
        return;
    const std::optional<CSize> modules = Measure(text);
    const CSize size = modules.value_or(CSize(0, 0));
    const qint64 module = GetModuleSize();
    rect->right = SaturateInt(rect->left + module * size.cx);
    rect->bottom = SaturateInt(rect->top + module * RowFactor() * size.cy);
}

void CDrawCode2D::Refit(CDrawViewBase* view)
{
    std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr;
    Invalidate(view);
    FitBoxToText(dc.get(), MeasuredText(dc.get()));
    Invalidate(view);
}

void CDrawCode2D::Draw(CDC* dc, int labelIndex)
{
    if (!dc)
        return;
    const CTurnedDrawScope turned(dc, this);
    CString text = GetDrawString(dc, labelIndex);
    const bool placeholder = text.isEmpty();
    if (placeholder)
        text = Placeholder();
    FitToText(dc, &m_position, text);
    if (!placeholder || !dc->IsPrinting())
        PaintSymbol(dc, text);
    DrawBindingMarker(dc);
}

Qt::CursorShape CDrawCode2D::CornerCursor(int n)
{
    return n == 1 || n == 3 || n == 5 || n == 7 ? CDrawText::CursorForHandle(n) : Qt::ArrowCursor;
}

void CDrawCode2D::DrawSelectionState(CDC* dc, int state)
{
    DrawHandles(dc, state, {{2, kEdgeHandleGrey}, {4, kEdgeHandleGrey}, {6, kEdgeHandleGrey}, {8, kEdgeHandleGrey}});
}

void CDrawCode2D::DragUprightHandle(int n, CPoint point, CDrawViewBase* view)
{
    if (n != 1 && n != 3 && n != 5 && n != 7)
        return;
    std::unique_ptr<CDC> dc = view ? view->CreateClientDC() : nullptr;
    const CString text = MeasuredText(dc.get());
    const std::optional<CSize> modules = Measure(text);
    if (!modules || modules->cx <= 0 || modules->cy <= 0) {
        ReportFailure(false);
        return;
    }
    const CRect old = m_position;
    const qint64 span = (n == 1 || n == 7) ? qint64(old.right) - point.x : qint64(point.x) - old.left;
    const qint64 candidate = span / modules->cx;
    // The smallest size not below the candidate, or the largest there is.
    auto it = m_sizes.lower_bound(int(std::clamp<qint64>(candidate, INT_MIN, INT_MAX)));
    const int size = it != m_sizes.end() ? it->first : m_sizes.rbegin()->first;
    if (size == GetModuleSize())
        return;

    Invalidate(view);
    SetModuleSize(size);
    CRect fitted = m_position;
    FitToText(dc.get(), &fitted, text);
    const qint64 w = qint64(fitted.right) - fitted.left;
    const qint64 h = qint64(fitted.bottom) - fitted.top;
    // The corner opposite the dragged one stays where it was.
    const bool keepRight = n == 1 || n == 7;
    const bool keepBottom = n == 1 || n == 3;
    const qint64 left = keepRight ? old.right - w : old.left;
    const qint64 top = keepBottom ? old.bottom - h : old.top;
    m_position = CRect(SaturateInt(left), SaturateInt(top), SaturateInt(left + w), SaturateInt(top + h));
    Invalidate(view);
    SetModified();
}

BOOL CDrawCode2D::OnEditProperties(CDrawViewBase* view)
{
    AttachPage();
    const BOOL ok = CDrawText::OnEditProperties(view);
    DetachPage();
    if (!ok)
        return FALSE;
    TakePage();
    Refit(view);
    ReportFailure(true);
    return TRUE;
}

UINT CDrawCode2D::ReadCodeLevel(CArchive& ar, const CRuntimeClass* cls, const char* what)
{
    const UINT schema = ReadLevelClass(ar, cls);
    ar.SetObjectSchema(schema);
    if (int(schema) > kSchema)
        throw CArchiveException(CArchiveException::badSchema, std::string(what) + " of schema " +
                                                                  std::to_string(int(schema)) +
                                                                  ": a newer or damaged file");
    return schema;
}

int CDrawCode2D::CheckStored(int value, int low, int high, const char* what)
{
    if (value < low || value > high)
        throw CArchiveException(CArchiveException::genericException,
                                std::string("implausible ") + what + " " + std::to_string(value));
    return value;
}
