#pragma once
// Shows a web page in the desktop's browser. The desktop's opener (xdg-open) runs as a process of
// its own, so that its failure to show the page (no browser set up, none installed) is known:
// `failed` runs then, which may be after the call has returned. Where there is no xdg-open,
// Qt's own choice of a browser is asked, and `failed` runs at once when it has none.

#include <QUrl>

#include <functional>

void AfxShowWebPage(const QUrl& page, std::function<void()> failed);
