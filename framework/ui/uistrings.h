#pragma once
// Where the widget layer takes its texts by number. The application points it at its resource
// module at start-up; until then every text is empty and callers keep their own defaults.

#include "framework/types.h"

#include <functional>

class QLocale;

using StringLoader = std::function<CString(UINT id)>;

void AfxSetStringLoader(StringLoader loader);
CString AfxLoadString(UINT id);
// The program's name as its windows show it: text 57344, else the application's name. Qt's
// application display name stays unset: on some platforms Qt appends it to every window
// title, which would name the program twice in titles that already carry it.
CString AfxGetAppName();

// Qt's own texts (its print, page set-up and file dialogs, its standard buttons) in the language
// of locale, from the catalogues Qt installs; replaces those loaded before and unloads them for
// English. False when no catalogue of the locale is installed.
bool AfxLoadQtTranslations(const QLocale& locale);
