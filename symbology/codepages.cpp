#include "symbology/codepages.h"

int ConvertToCodePage(UINT, const CString&, std::vector<BYTE>& out)
{
    out.clear();
    return 0;
}

void FillCodePageList(CCodePageMap& out) { out.clear(); }
void FillCodePageList(CCodePageMap& out, const CString&) { out.clear(); }
bool IsCodePageSupported(UINT) { return false; }
