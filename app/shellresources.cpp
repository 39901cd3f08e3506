#include "app/shellresources.h"

#include "framework/resourcemodule.h"

namespace ShellRes {
CString String(UINT id) { return CResourceModule::Get().LoadString(id); }
QByteArray DialogLayout(UINT id) { return CResourceModule::Get().LoadDialogLayout(id); }
QImage Bitmap(UINT id) { return CResourceModule::Get().LoadBitmap(id); }
}
