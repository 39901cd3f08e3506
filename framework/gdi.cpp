#include "framework/gdi.h"

#include <QFontDatabase>
#include <QStringList>
#include <mutex>

CString FaceNameOf(const LOGFONTW& lf)
{
    int n = 0;
    while (n < LF_FACESIZE && lf.lfFaceName[n] != 0)
        ++n;
    return QString::fromUtf16(lf.lfFaceName, n);
}

void SetFaceName(LOGFONTW& lf, const CString& face)
{
    const int n = std::min<int>(face.size(), LF_FACESIZE - 1);
    for (int i = 0; i < LF_FACESIZE; ++i)
        lf.lfFaceName[i] = i < n ? char16_t(face.at(i).unicode()) : u'\0';
}

CString SubstituteFaceName(const CString& face)
{
    static const struct {
        const char16_t* from;
        const char* to;
    } table[] = {
        {u"細明體", "AR PL UMing TW"},
        {u"新細明體", "AR PL UMing TW"},
        {u"MingLiU", "AR PL UMing TW"},
        {u"PMingLiU", "AR PL UMing TW"},
        {u"Times New Roman", "Liberation Serif"},
        {u"Arial", "Liberation Sans"},
        {u"Courier New", "Liberation Mono"},
    };
    const QString trimmed = face.trimmed();
    for (const auto& row : table) {
        if (trimmed.compare(QString::fromUtf16(row.from), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(row.to);
    }
    // The font database is asked once; installing fonts while the program runs is not supported.
    static const QStringList installed = QFontDatabase::families();
    if (!trimmed.isEmpty() && installed.contains(trimmed, Qt::CaseInsensitive))
        return trimmed;
    return QStringLiteral("Liberation Sans");
}

BOOL CGdiObject::DeleteObject()
{
    if (m_stock || !m_created)
        return FALSE;
    m_created = false;
    return TRUE;
}

BOOL CPen::CreatePen(int style, int width, COLORREF colour)
{
    LOGPEN p;
    p.lopnStyle = UINT(style);
    p.lopnWidth = CPoint(width, 0);
    p.lopnColor = colour;
    return CreatePenIndirect(&p);
}

BOOL CPen::CreatePenIndirect(const LOGPEN* pen)
{
    if (!pen || m_created)
        return FALSE;
    m_desc = *pen;
    MarkCreated();
    return TRUE;
}

int CPen::GetLogPen(LOGPEN* pen) const
{
    if (!pen || !m_created)
        return 0;
    *pen = m_desc;
    return int(sizeof(LOGPEN));
}

BOOL CBrush::CreateSolidBrush(COLORREF colour)
{
    LOGBRUSH b;
    b.lbStyle = BS_SOLID;
    b.lbColor = colour;
    return CreateBrushIndirect(&b);
}

BOOL CBrush::CreateBrushIndirect(const LOGBRUSH* brush)
{
    if (!brush || m_created)
        return FALSE;
    m_desc = *brush;
    MarkCreated();
    return TRUE;
}

int CBrush::GetLogBrush(LOGBRUSH* brush) const
{
    if (!brush || !m_created)
        return 0;
    *brush = m_desc;
    return int(sizeof(LOGBRUSH));
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* font)
{
    if (!font || m_created)
        return FALSE;
    m_desc = *font;
    MarkCreated();
    return TRUE;
}

int CFont::GetLogFont(LOGFONTW* font) const
{
    if (!font || !m_created)
        return 0;
    *font = m_desc;
    return int(sizeof(LOGFONTW));
}

LOGFONTW DefaultLogFont()
{
    LOGFONTW lf;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    SetFaceName(lf, QStringLiteral("Arial"));
    return lf;
}

namespace {

CGdiObject* MakeStock(int index)
{
    switch (index) {
    case WHITE_BRUSH: return new CBrush(RGB(255, 255, 255));
    case BLACK_BRUSH: return new CBrush(RGB(0, 0, 0));
    case NULL_BRUSH: {
        auto* b = new CBrush;
        LOGBRUSH d;
        d.lbStyle = BS_NULL;
        b->CreateBrushIndirect(&d);
        return b;
    }
    case WHITE_PEN: return new CPen(PS_SOLID, 0, RGB(255, 255, 255));
    case BLACK_PEN: return new CPen(PS_SOLID, 0, RGB(0, 0, 0));
    case NULL_PEN: return new CPen(PS_NULL, 0, 0);
    case SYSTEM_FONT: {
        auto* f = new CFont;
        const LOGFONTW lf = DefaultLogFont();
        f->CreateFontIndirect(&lf);
        return f;
    }
    default: return nullptr;
    }
}

}  // namespace

CGdiObject* GetStockObjectPtr(int index)
{
    constexpr int count = SYSTEM_FONT + 1;
    // Made on first use and never freed: pointers to them are handed out for the whole run.
    static CGdiObject* stock[count] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i < count; ++i) {
            stock[i] = MakeStock(i);
            if (stock[i])
                stock[i]->m_stock = true;
        }
    });
    if (index < 0 || index >= count)
        return nullptr;
    return stock[index];
}
