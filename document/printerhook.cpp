#include "document/printerhook.h"

#include <utility>

namespace {
PrinterOrientationHook& Hook()
{
    static PrinterOrientationHook hook;
    return hook;
}
}  // namespace

PrinterOrientationHook SetPrinterOrientationHook(PrinterOrientationHook hook)
{
    return std::exchange(Hook(), std::move(hook));
}

void CallPrinterOrientationHook(int orientation)
{
    if (Hook())
        Hook()(orientation);
}
