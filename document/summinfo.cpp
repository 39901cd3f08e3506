#include "document/summinfo.h"

#include "framework/compoundfile.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <charconv>
#include <iconv.h>

namespace {

// FILETIME of the Unix epoch.
constexpr quint64 kUnixEpochFileTime = 116444736000000000ULL;
constexpr quint64 kTicksPerMinute = 600000000ULL;

quint64 SystemNow()
{
    return kUnixEpochFileTime + quint64(QDateTime::currentMSecsSinceEpoch()) * 10000ULL;
}

CSummInfo::Clock g_clock = &SystemNow;

QByteArray Le(quint64 v, int bytes)
{
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[i] = char(v >> (8 * i));
    return out;
}

quint64 FromLe(const QByteArray& b, int bytes)
{
    quint64 v = 0;
    for (int i = 0; i < bytes && i < b.size(); ++i)
        v |= quint64(BYTE(b[i])) << (8 * i);
    return v;
}

// Converts multibyte text of a Windows code page to UTF-8 through iconv; unknown code pages are
// read as Windows-1252.
QByteArray ToUtf8(const QByteArray& text, unsigned codePage)
{
    if (codePage == CSummInfo::kCodePageUtf8 || text.isEmpty())
        return text;
    QByteArray name = "CP" + QByteArray::number(codePage);
    iconv_t cd = iconv_open("UTF-8", name.constData());
    if (cd == iconv_t(-1))
        cd = iconv_open("UTF-8", "CP1252");
    if (cd == iconv_t(-1))
        return text;
    QByteArray out;
    QByteArray in = text;
    char* src = in.data();
    size_t srcLeft = size_t(in.size());
    char buf[256];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, qsizetype(sizeof buf - dstLeft));
        if (r == size_t(-1) && errno != E2BIG) {
            // An invalid or incomplete sequence: keep a replacement and go on.
            out.append("\xEF\xBF\xBD");
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    return out;
}

// Cuts UTF-8 text to at most `max` bytes without splitting a character.
QByteArray CutUtf8(QByteArray bytes, int max)
{
    if (bytes.size() <= max)
        return bytes;
    qsizetype n = max;
    while (n > 0 && (BYTE(bytes[n]) & 0xC0) == 0x80)
        --n;
    bytes.truncate(n);
    return bytes;
}

}  // namespace

void CSummInfo::SetClock(Clock clock)
{
    g_clock = clock ? clock : &SystemNow;
}

quint64 CSummInfo::Now()
{
    return g_clock();
}

QString CSummInfo::StreamName()
{
    return QString(QChar(0x05)) + QStringLiteral("SummaryInformation");
}

CSummInfo::CSummInfo()
{
    m_set.SetFormatVersion(0);
    // The original records the system's version word here with the high word 2 (a 32-bit
    // system); we report version 10.0.
    m_set.SetOSVersion(0x0002000A);
    m_set.SetClassID(FMTID_SummaryInformation);
    CPropertySection* s = m_set.AddSection(FMTID_SummaryInformation);
    s->Set(PID_CODEPAGE, VT_I2, Le(kCodePageUtf8, 2));
    for (DWORD id = PID_TITLE; id <= PID_LASTAUTHOR; ++id)
        s->SetText(id, {});
    s->SetText(PID_REVNUMBER, "0");
    for (DWORD id : {PID_EDITTIME, PID_LASTPRINTED, PID_LASTSAVE_DTM, PID_CREATE_DTM})
        s->Set(id, VT_FILETIME, Le(0, 8));
    for (DWORD id : {PID_PAGECOUNT, PID_WORDCOUNT, PID_CHARCOUNT})
        s->Set(id, VT_I4, Le(0, 4));
    s->SetText(PID_APPNAME, {});
    s->Set(PID_SECURITY, VT_I4, Le(0, 4));
}

CPropertySection* CSummInfo::Section()
{
    return m_set.GetSection(FMTID_SummaryInformation);
}

const CPropertySection* CSummInfo::Section() const
{
    return m_set.GetSection(FMTID_SummaryInformation);
}

const CProperty* CSummInfo::Property(DWORD id) const
{
    const CPropertySection* s = Section();
    return s ? s->Get(id) : nullptr;
}

bool CSummInfo::SetText(DWORD id, const CString& text)
{
    CPropertySection* s = Section();
    if (!s)
        return false;
    s->SetText(id, CutUtf8(text.toUtf8(), kMaxTextBytes));
    return true;
}

CString CSummInfo::GetText(DWORD id) const
{
    const CProperty* p = Property(id);
    return p ? QString::fromUtf8(p->GetText()) : QString();
}

void CSummInfo::SetCount(DWORD id, DWORD n)
{
    if (CPropertySection* s = Section())
        s->Set(id, VT_I4, Le(n, 4));
}

CString CSummInfo::GetCount(DWORD id) const
{
    const CProperty* p = Property(id);
    if (!p || p->GetType() != VT_I4)
        return {};
    return QString::number(DWORD(FromLe(p->GetRaw(), 4)));
}

void CSummInfo::SetFileTime(DWORD id, quint64 t)
{
    if (CPropertySection* s = Section())
        s->Set(id, VT_FILETIME, Le(t, 8));
}

quint64 CSummInfo::GetFileTime(DWORD id) const
{
    const CProperty* p = Property(id);
    if (!p || p->GetType() != VT_FILETIME || p->GetRaw().size() != 8)
        return 0;
    return FromLe(p->GetRaw(), 8);
}

CString CSummInfo::FormatDate(DWORD id) const
{
    const quint64 t = GetFileTime(id);
    if (t == 0)
        return {};
    const qint64 ms = qint64((t / 10000) - (kUnixEpochFileTime / 10000));
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toLocalTime();
    return QLocale().toString(local, QLocale::ShortFormat);
}

void CSummInfo::AddCountToEditTime()
{
    const quint64 now = Now();
    const quint64 period = now > m_editStart ? now - m_editStart : 0;
    SetFileTime(PID_EDITTIME, GetFileTime(PID_EDITTIME) + period);
}

CString CSummInfo::GetEditTime() const
{
    const quint64 now = Now();
    const quint64 total = GetFileTime(PID_EDITTIME) + (now > m_editStart ? now - m_editStart : 0);
    return QString::number(total / kTicksPerMinute) + QStringLiteral(" min");
}

void CSummInfo::IncrRevNum()
{
    // The revision is text; its leading digits are the number (a missing number counts as 0).
    const QByteArray text = GetText(PID_REVNUMBER).toLatin1().trimmed();
    quint32 rev = 0;
    std::from_chars(text.constData(), text.constData() + text.size(), rev);
    SetText(PID_REVNUMBER, QString::number(quint32(rev + 1)));
}

QByteArray CSummInfo::WriteToStream()
{
    return m_set.WriteToStream();
}

bool CSummInfo::ReadFromStream(const QByteArray& bytes)
{
    CPropertySet set;
    if (!set.ReadFromStream(bytes))
        return false;
    CPropertySection* s = set.GetSection(FMTID_SummaryInformation);
    if (!s)
        return false;
    // Hold every text in UTF-8 from here on.
    unsigned codePage = 1252;
    if (const CProperty* cp = s->Get(PID_CODEPAGE); cp && cp->GetType() == VT_I2)
        codePage = unsigned(FromLe(cp->GetRaw(), 2));
    if (codePage != kCodePageUtf8) {
        std::vector<DWORD> texts;
        for (const CProperty& p : s->Properties())
            if (p.GetType() == VT_LPSTR)
                texts.push_back(p.GetID());
        for (DWORD id : texts)
            s->SetText(id, CutUtf8(ToUtf8(s->Get(id)->GetText(), codePage), kMaxTextBytes));
        s->Set(PID_CODEPAGE, VT_I2, Le(kCodePageUtf8, 2));
    }
    m_set = std::move(set);
    return true;
}

bool CSummInfo::WriteToStorage(CStorage& root)
{
    const QByteArray bytes = WriteToStream();
    return !bytes.isEmpty() && root.WriteStream(StreamName(), bytes);
}

bool CSummInfo::ReadFromStorage(const CStorage& root)
{
    const QByteArray* bytes = root.OpenStream(StreamName());
    return bytes && ReadFromStream(*bytes);
}
