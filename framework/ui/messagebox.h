#pragma once
// Message boxes with texts from the string table. The buttons take their captions from the
// application-wide button filter, like every other dialog.

#include "framework/types.h"

class QWidget;

constexpr UINT MB_OK = 0x00;
constexpr UINT MB_OKCANCEL = 0x01;
constexpr UINT MB_YESNOCANCEL = 0x03;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;

// Shows a modal message box and returns IDOK, IDCANCEL, IDYES or IDNO. The parent defaults to
// the active window; the title is the application's display name.
int AfxMessageBox(const CString& text, UINT type = MB_OK, QWidget* parent = nullptr);
// The same with the text of a string of the resource module.
int AfxMessageBox(UINT stringId, UINT type = MB_OK, QWidget* parent = nullptr);
// The same with a caption of the caller's own.
int MessageBox(QWidget* parent, const CString& text, const CString& caption, UINT type = MB_OK);
