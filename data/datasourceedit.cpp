#include "data/datasourceedit.h"

#include "framework/dc.h"
#include "framework/textnumbers.h"
#include "symbology/drawbarcode.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr UINT IDS_NOT_DIGITS = 17;
constexpr UINT IDS_BAD_REPEAT = 20;
constexpr UINT IDS_BINDING_UNCHANGED = 640;
constexpr int IDC_TEXT = 128, IDC_FIELDS = 135, IDC_REPEAT = 1154, IDC_GRID = 202;

// The text with every character case-folded as a case-blind comparison folds it: two texts
// compare equal without regard to case when their folded forms are equal.
CString Folded(const CString& text)
{
    CString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(char16_t(c));
        }
    }
    return out;
}

bool OnlyDigits(const CString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

CDataSourceEdit::CDataSourceEdit(const Tables* tables)
{
    if (tables && !tables->empty()) {
        m_table = tables->begin()->first;
        m_fields = tables->begin()->second;
    }
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (const CString key = Folded(m_fields[i]); !m_index.contains(key))
            m_index.insert(key, int(i));
}

int CDataSourceEdit::FindField(const CString& field) const
{
    return m_index.value(Folded(field), -1);
}

std::vector<CDataItemRow> CDataSourceEdit::Rows(const CContentBlock& block) const
{
    std::vector<CDataItemRow> rows;
    for (const CDataItem& item : GetDataItems(block))
        rows.push_back({item, FindField(item.field)});
    return rows;
}

CDataItemRow CDataSourceEdit::NewRow(int fieldIndex, const CString& prefix, const CString& suffix) const
{
    if (fieldIndex < 0 || fieldIndex >= int(m_fields.size()))
        return {};
    return {{m_table, m_fields[size_t(fieldIndex)], prefix, suffix}, fieldIndex};
}

CDataSourceRefusal CDataSourceEdit::Check(const CDataSourceInput& input, const CContentBlock& block) const
{
    const int mode = input.mode >= 0 ? input.mode : block.mode;
    if (mode == CONTENT_SERIAL && !OnlyDigits(input.text))
        return {IDS_NOT_DIGITS, IDC_TEXT};
    if (mode == CONTENT_DATA && input.rows.empty())
        return {NoFieldMessage(), IDC_FIELDS};
    if (mode == CONTENT_SERIAL && Wtoi(input.repeat) == 0)
        return {IDS_BAD_REPEAT, IDC_REPEAT};
    return {};
}

CDataSourceRefusal CDataSourceEdit::Apply(const CDataSourceInput& input, CContentBlock& block) const
{
    if (const CDataSourceRefusal refused = Check(input, block))
        return refused;
    // The items go first: a binding that cannot take them refuses the whole Apply.
    if ((input.mode >= 0 ? input.mode : block.mode) == CONTENT_DATA) {
        std::vector<CDataItem> items;
        items.reserve(input.rows.size());
        for (const CDataItemRow& row : input.rows) {
            // A field the list offers is bound to the offered table; any other item goes back
            // exactly as it was stored.
            const CDataItem& i = row.item;
            if (row.Known())
                items.push_back({m_table, m_fields[size_t(row.fieldIndex)], i.prefix, i.suffix});
            else
                items.push_back(i);
        }
        if (!ReplaceDataItems(block, items))
            return {IDS_BINDING_UNCHANGED, IDC_GRID};
    }
    if (input.mode >= 0)
        block.mode = input.mode;
    if (input.alignment >= 0)
        block.alignment = input.alignment;
    block.repeat = Wtoi(input.repeat);
    block.step = Wtoi(input.step);
    if (input.direction >= 0)
        block.direction = input.direction;
    block.prefix = input.prefix;
    block.suffix = input.suffix;
    return {};
}

// --- module-width steps -----------------------------------------------------------------------

CModuleWidthStep::CModuleWidthStep(double w0, std::function<double(double)> widthMm)
    : m_w0(w0), m_widthMm(std::move(widthMm))
{
}

int CModuleWidthStep::Step(int p, int d) const
{
    if (d == 0)
        return 0;
    const int dir = d > 0 ? 1 : -1;
    // Whether a position's module width is one the symbol may take.
    auto allowed = [this](int position) {
        const double w = ModuleAt(position);
        return w > double(kMinModule) && w <= double(kMaxModule);
    };
    if (!allowed(p + dir))
        return 0;
    const double here = m_widthMm(ModuleAt(p));
    int k = dir;
    // A symbol that draws nothing (an empty text) never changes its width: the bound ends the
    // search and the step is refused.
    while (m_widthMm(ModuleAt(p + k)) == here) {
        k += dir;
        if (!allowed(p + k))
            return 0;
    }
    return k;
}

// --- barcode sizes ----------------------------------------------------------------------------

void ApplyBarcodeSizes(CDrawBarcode& code, CDC* dc, int upDownPosition, const double* typedHeightMm)
{
    CBarcode* symbol = code.GetBarcode();
    if (!symbol)
        return;
    symbol->SetModuleWidth(float(upDownPosition * CModuleWidthStep::kStep + symbol->GetModuleWidth()));
    if (dc)
        code.UpdateBarcode(dc, code.GetDrawString(dc, 0));
    if (!typedHeightMm)
        return;
    const double height = *typedHeightMm / 25.4 * 1536.0;
    double line = 0;
    if (dc) {
        // At 100 % zoom one inch of logical units is one inch of the device.
        const CSize viewport = dc->GetViewportExt();
        const int dpi = dc->GetDeviceCaps(LOGPIXELSX);
        dc->SetViewportExt(dpi, dpi);
        {
            CDrawFontScope font(dc, code.m_logfont);
            line = symbol->GetTextExtent(dc).cy;
        }
        dc->SetViewportExt(viewport);
    }
    const double bars = (height - line) / 1536.0;
    // Not a number gives the smallest bar height too; no height passes the largest.
    symbol->SetBarHeight(bars >= double(CDrawBarcode::kMinBarHeight)
                             ? float(std::min(bars, double(CDrawBarcode::kMaxBarHeight)))
                             : CDrawBarcode::kMinBarHeight);
    if (dc)
        code.UpdateBarcode(dc, code.GetDrawString(dc, 0));
}
