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

CString Format1(UINT id, const CString& fallback, const CString& arg)
{
    CString text = ShellRes::String(id);
    if (text.isEmpty())
        text = fallback;
    return text.arg(arg);
}

}  // namespace LabelFiles
