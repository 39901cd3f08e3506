#pragma once
// The application's default printer set-up is changed when a document's orientation changes and
// when a document is loaded. The application installs the function that does it; until then
// nothing happens.

#include <functional>

// 1 portrait, 2 landscape.
using PrinterOrientationHook = std::function<void(int orientation)>;

// Installs the hook (an empty function removes it) and returns the previous one.
PrinterOrientationHook SetPrinterOrientationHook(PrinterOrientationHook hook);
void CallPrinterOrientationHook(int orientation);
