#include "data/connstring.h"
#include "framework/resourcemodule.h"

static bool IsBlank(QChar c)
{
    return c.isSpace();  // as QString::trimmed() sees it
}

std::optional<CConnectionString> CConnectionString::Parse(const CString& text, CString* error)
{
    auto fail = [error](const QString& why) -> std::optional<CConnectionString> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    CConnectionString result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (IsBlank(text[i]) || text[i] == u';'))
            ++i;
        if (i >= n)
            break;
        const qsizetype keyStart = i;
        while (i < n && text[i] != u'=' && text[i] != u';')
            ++i;
        const CString key = text.mid(keyStart, i - keyStart).trimmed();
        if (i >= n || text[i] != u'=' || key.isEmpty())
            return fail(LoadMessage(441, "\"%1\" is not of the form key=value").arg(text.mid(keyStart, i - keyStart).trimmed()));
        ++i;
        while (i < n && IsBlank(text[i]))
            ++i;
        CString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'' || text[i] == u'{')) {
            const QChar close = text[i] == u'{' ? u'}' : text[i];
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                return fail(LoadMessage(442, "the value of \"%1\" has no closing quote").arg(key));
            while (i < n && IsBlank(text[i]))
                ++i;
            if (i < n && text[i] != u';')
                return fail(LoadMessage(443, "text follows the quoted value of \"%1\"").arg(key));
        } else {
            const qsizetype valueStart = i;
            while (i < n && text[i] != u';')
                ++i;
            value = text.mid(valueStart, i - valueStart).trimmed();
        }
        result.m_pairs.emplace_back(key, value);
    }
    return result;
}

bool CConnectionString::Has(const CString& key) const
{
    for (const auto& [k, v] : m_pairs)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

CString CConnectionString::Value(const CString& key) const
{
    for (const auto& [k, v] : m_pairs)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

void CConnectionString::Set(const CString& key, const CString& value)
{
    for (auto& [k, v] : m_pairs)
        if (k.compare(key, Qt::CaseInsensitive) == 0) {
            v = value;
            return;
        }
    m_pairs.emplace_back(key, value);
}

CString CConnectionString::QuoteValue(const CString& value, bool braces)
{
    const bool quote = value.contains(u';') || value.contains(u'"') || value.contains(u'\'')
        || value.contains(u'{') || (!value.isEmpty() && (IsBlank(value.front()) || IsBlank(value.back())));
    if (!quote)
        return value;
    if (braces) {
        CString inner = value;
        inner.replace(QStringLiteral("}"), QStringLiteral("}}"));
        return u'{' + inner + u'}';
    }
    CString inner = value;
    inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + inner + u'"';
}

CString CConnectionString::ToString(bool braces) const
{
    CString text;
    for (const auto& [k, v] : m_pairs) {
        if (!text.isEmpty())
            text += u';';
        text += k + u'=' + QuoteValue(v, braces);
    }
    return text;
}
