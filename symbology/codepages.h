#pragma once
// Conversion of label text into a 2-D symbol's code page, and the catalogue of code pages the
// 2-D property pages offer. Widget-free: the pages fill their lists from the map.

#include "framework/codepage.h"
#include "framework/types.h"

#include <map>
#include <vector>

using CCodePageMap = std::map<UINT, CString>;

// Converts text into the code page; out holds the bytes and the result is their count. A
// character the page lacks becomes '?'; a page the system cannot convert gives 0 bytes.
int ConvertToCodePage(UINT codePage, const CString& text, std::vector<BYTE>& out);

// Fills out with the catalogue of the resource module's language (string 89: "ENU", "CHS",
// anything else Traditional Chinese), without the pages the system cannot convert.
void FillCodePageList(CCodePageMap& out);
// The same for a given language tag.
void FillCodePageList(CCodePageMap& out, const CString& languageTag);

// True when the system can convert text into the code page.
bool IsCodePageSupported(UINT codePage);
