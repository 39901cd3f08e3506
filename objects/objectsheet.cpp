#include "objects/objectsheet.h"

#include <utility>

namespace {
CObjectDialogs& Dialogs()
{
    static CObjectDialogs dialogs;
    return dialogs;
}
}  // namespace

CObjectDialogs SetObjectDialogs(CObjectDialogs dialogs)
{
    return std::exchange(Dialogs(), std::move(dialogs));
}

const CObjectDialogs& GetObjectDialogs()
{
    return Dialogs();
}

BOOL RunObjectSheet(CObjectSheet& sheet, CDrawViewBase* view)
{
    if (!sheet.HasPages() || !Dialogs().runSheet)
        return FALSE;
    return Dialogs().runSheet(sheet, view);
}

void ShowObjectMessage(UINT stringId)
{
    if (Dialogs().message)
        Dialogs().message(stringId);
}

void ShowObjectError(const CString& text)
{
    if (Dialogs().error)
        Dialogs().error(text);
}
