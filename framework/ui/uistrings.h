#pragma once
// Where the widget layer takes its texts by number. The application points it at its resource
// module at start-up; until then every text is empty and callers keep their own defaults.

#include "framework/types.h"

#include <functional>

using StringLoader = std::function<CString(UINT id)>;

void AfxSetStringLoader(StringLoader loader);
CString AfxLoadString(UINT id);
