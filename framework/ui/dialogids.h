#pragma once
// Ids of the standard dialog buttons and the results of modal dialogs. The buttons of our own
// dialogs carry these numbers as object names, as every control of a dialog layout does.

#include "framework/types.h"

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr int ID_APPLY_NOW = 12321;
constexpr int ID_WIZBACK = 12323;
constexpr int ID_WIZNEXT = 12324;
constexpr int ID_WIZFINISH = 12325;

// Strings of the resource module that caption the standard buttons.
constexpr UINT IDS_CAPTION_OK = 76;
constexpr UINT IDS_CAPTION_YES = 77;
constexpr UINT IDS_CAPTION_NO = 78;
constexpr UINT IDS_CAPTION_CANCEL = 79;
constexpr UINT IDS_CAPTION_FINISH = 83;
constexpr UINT IDS_CAPTION_NEXT = 84;
constexpr UINT IDS_CAPTION_BACK = 85;
constexpr UINT IDS_CAPTION_APPLY = 86;
