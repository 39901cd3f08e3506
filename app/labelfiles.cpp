#include "app/labelfiles.h"

#include "app/shellresources.h"

namespace {
constexpr UINT kDocTemplate = 3;
}

namespace LabelFiles {

CString TemplatePart(int index)
{
    return ShellRes::String(kDocTemplate).split(u'\n').value(index);
}

CString FileExtension()
{
    CString extension = TemplatePart(4).trimmed();
    if (extension.startsWith(u'.'))
        extension.remove(0, 1);
    return extension.isEmpty() ? QStringLiteral("tag") : extension;
}

CString FileFilter()
{
    CString name = TemplatePart(3);
    if (name.isEmpty())
        name = QStringLiteral("Tag Files (*.tag)");
    return name;
}

CString CopyFileName(const CString& title)
{
    // Long enough for any title a window shows, short enough for every file system.
    constexpr int kMaxBaseLength = 120;
    const CString suffix = u'.' + FileExtension();
    CString base = title.endsWith(suffix, Qt::CaseInsensitive) ? title.chopped(suffix.size()) : title;
    for (QChar& ch : base)
        if (ch == u'/' || ch == u'\\' || ch.category() == QChar::Other_Control)
            ch = u'_';
    base = base.trimmed().left(kMaxBaseLength);
    if (base.isEmpty() || base == u'.' || base == QStringLiteral(".."))
        base = TemplatePart(1).isEmpty() ? QStringLiteral("Label") : TemplatePart(1);
    return base + suffix;
}

CString Format1(UINT id, const CString& fallback, const CString& arg)
{
    CString text = ShellRes::String(id);
    if (text.isEmpty())
        text = fallback;
    return text.arg(arg);
}

}  // namespace LabelFiles
