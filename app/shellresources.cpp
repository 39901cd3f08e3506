#include "app/shellresources.h"

#include "framework/ui/uistrings.h"

namespace ShellRes {
CString String(UINT id) { return AfxLoadString(id); }
QByteArray DialogLayout(UINT) { return {}; }
QImage Bitmap(UINT) { return {}; }
}
