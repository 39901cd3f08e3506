#pragma once
// The names of label files as the document template gives them, and the messages about files
// that take one name.

#include "framework/types.h"

namespace LabelFiles {
// A part of the document template's string: 1 new-document name, 3 filter name, 4 extension.
CString TemplatePart(int index);
// The extension of label files, without its dot.
CString FileExtension();
// The file dialogs' filter of label files.
CString FileFilter();
// A file name for a copy of the label titled so: the title with every character that cannot
// stand in a file name replaced, and the label extension (added unless it is there).
CString CopyFileName(const CString& title);
// The string of the resource module (or the fallback) with its %1 filled in.
CString Format1(UINT id, const CString& fallback, const CString& arg);
}
