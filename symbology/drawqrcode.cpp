#include "symbology/drawqrcode.h"

#include "framework/archive.h"

IMPLEMENT_SERIAL(CDrawQRCode, CDrawText, VERSIONABLE_SCHEMA | 1)

CDrawQRCode::CDrawQRCode() : CDrawCode2D(kLargestModule) {}

CDrawQRCode::CDrawQRCode(const CRect& position, CDrawViewBase* view, const CString& text)
    : CDrawCode2D(kLargestModule, position, view, text)
{
    FitToText(nullptr, &m_position, text.isEmpty() ? Placeholder() : text);
}

std::optional<CSize> CDrawQRCode::Measure(const CString& text)
{
    const CSize size = m_encoder.GetSymbolSize(text);
    if (size.cx <= 0 || size.cy <= 0)
        return std::nullopt;
    return size;
}

void CDrawQRCode::PaintSymbol(CDC* dc, const CString& text)
{
    m_encoder.Draw(dc, text, m_position);
}

void CDrawQRCode::AttachPage()
{
    m_page = {m_sizes, GetModuleSize(), m_encoder.GetLevel(), m_encoder.GetCodePage()};
    m_sheet.qrcode = &m_page;
}

void CDrawQRCode::TakePage()
{
    m_encoder.Clear();
    m_encoder.SetModuleSize(m_page.moduleSize);
    m_encoder.SetLevel(m_page.ecLevel);
    m_encoder.SetCodePage(m_page.codePage);
}

void CDrawQRCode::ReportFailure(bool again)
{
    // Once for a drag that keeps failing; after every OK.
    if (!m_encoder.Overflowed()) {
        m_complained = false;
        return;
    }
    if (m_complained && !again)
        return;
    m_complained = true;
    ShowObjectError(QStringLiteral("overflow"));
}

void CDrawQRCode::Serialize(CArchive& ar)
{
    CDrawText::Serialize(ar);
    CQRCodeEncoder& e = m_encoder;
    if (ar.IsStoring()) {
        ar.SerializeClass(RUNTIME_CLASS(CDrawQRCode));
        ar << e.GetLevel() << e.GetDataMode() << e.GetVersion() << e.GetStructuredAppendTotal()
           << e.GetStructuredAppendPosition() << e.GetStructuredAppendParity() << DWORD(e.GetBackColor())
           << DWORD(e.GetForeColor()) << e.GetTag() << e.GetModuleSize() << DWORD(e.GetCodePage())
           << e.GetReservedFlag() << m_nReserved;
        for (const CString& s : m_reserved)
            ar << s;
        return;
    }
    if (ReadCodeLevel(ar, RUNTIME_CLASS(CDrawQRCode), "QR Code object") != 1)
        return;
    int level = 0, mode = 0, version = 0, total = 0, position = 0, parity = 0, module = 0, flag = 0, reserved = 0;
    DWORD back = 0, fore = 0, codePage = 0;
    CString tag;
    ar >> level >> mode >> version >> total >> position >> parity >> back >> fore >> tag >> module >> codePage >> flag
        >> reserved;
    CString strings[kReservedStrings];
    for (CString& s : strings)
        ar >> s;
    CheckStored(module, 1, kMaxStoredModule, "QR Code module size");
    e.Clear();
    e.SetLevel(level);
    e.SetDataMode(mode);
    e.SetVersion(version);
    e.SetStoredStructuredAppend(total, position, parity);
    e.SetBackColor(back);
    e.SetForeColor(fore);
    e.SetTag(tag);
    e.SetModuleSize(module);
    e.SetCodePage(codePage);
    e.SetReservedFlag(flag);
    m_nReserved = reserved;
    std::copy(std::begin(strings), std::end(strings), std::begin(m_reserved));
}
