#pragma once
// The resource module as the shell sees it: strings, dialog layouts and pictures by number.

#include "framework/types.h"

#include <QByteArray>
#include <QImage>

namespace ShellRes {
CString String(UINT id);
QByteArray DialogLayout(UINT id);
QImage Bitmap(UINT id);
}
