#pragma once
// Windows code pages on this system: the iconv name of each page the program knows and the
// OEM code page of the user's locale. The archive's single-byte strings and the 2-D symbols'
// byte conversion share this one table.

#include "framework/types.h"

// The iconv name of a Windows code page, or nullptr for a page the program does not know.
const char* IconvCodePageName(UINT codePage);

// The OEM code page of the locale in LC_CTYPE: 936 for zh_CN (and zh_SG), 950 for zh_TW and
// zh_HK (and zh_MO), 932 for ja, 949 for ko, else 437.
UINT GetOEMCP();
// The same for a locale name such as "zh_TW.UTF-8".
UINT OemCodePageOfLocale(const char* locale);
