#pragma once
// Object property sheets answered by a script instead of dialogs for the life of the scope: each
// sheet goes to `edit`, then the answer is `ok`. The previous dialogs come back afterwards.

#include "objects/objectsheet.h"

#include <functional>

struct ScriptedSheets {
    explicit ScriptedSheets(BOOL ok, std::function<void(CObjectSheet&)> edit = {})
    {
        CObjectDialogs d;
        d.runSheet = [ok, edit](CObjectSheet& sheet, CDrawViewBase*) {
            if (edit)
                edit(sheet);
            return ok;
        };
        old = SetObjectDialogs(std::move(d));
    }
    ~ScriptedSheets() { SetObjectDialogs(std::move(old)); }
    CObjectDialogs old;
};
