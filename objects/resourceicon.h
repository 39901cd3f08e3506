#pragma once
// Small pictures of the resource module drawn on a label in the design view.

#include "framework/dc.h"
#include "framework/types.h"

// Bitmap of the binding markers of text and code objects: icon 3 when the object's data item
// belongs to the document's table, icon 1 when it belongs to another.
constexpr UINT IDB_BINDING_MARKERS = 162;

// Draws icon `index` (16 x 16 cells, left to right) of a bitmap strip of the resource module
// stretched into `rect`, blended with constant alpha 180 over what is there. The strip's magenta
// is transparent. FALSE when the module has no such bitmap or icon.
BOOL DrawResourceIcon(CDC* dc, UINT bitmapId, int index, const CRect& rect);

// The icon as drawn: 16 x 16 with alpha, magenta made transparent and every pixel's alpha scaled
// by 180 / 255. A null image when the module has no such bitmap or icon.
QImage BlendedResourceIcon(UINT bitmapId, int index);
