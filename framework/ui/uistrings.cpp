#include "framework/ui/uistrings.h"

namespace {
StringLoader& Loader()
{
    static StringLoader loader;
    return loader;
}
}

void AfxSetStringLoader(StringLoader loader)
{
    Loader() = std::move(loader);
}

CString AfxLoadString(UINT id)
{
    const auto& loader = Loader();
    return loader ? loader(id) : CString();
}
