#pragma once
// Where the widget layer takes its texts by number. The application points it at its resource
// module at start-up; until then every text is empty and callers keep their own defaults.

#include "framework/types.h"

#include <functional>

using StringLoader = std::function<CString(UINT id)>;

void AfxSetStringLoader(StringLoader loader);
CString AfxLoadString(UINT id);
// The program's name as its windows show it: text 57344, else the application's name. Qt's
// application display name stays unset: on some platforms Qt appends it to every window
// title, which would name the program twice in titles that already carry it.
CString AfxGetAppName();
