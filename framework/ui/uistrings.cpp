#include "framework/ui/uistrings.h"

#include <QCoreApplication>

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

CString AfxGetAppName()
{
    constexpr UINT kAppTitle = 57344;
    const CString name = AfxLoadString(kAppTitle);
    return name.isEmpty() ? QCoreApplication::applicationName() : name;
}
