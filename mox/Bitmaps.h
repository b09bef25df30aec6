#pragma once
// The two small pictures every diagram owns. Both return null when the bitmap cannot be made;
// the drawing then leaves them out.
#include "mox/rtl/Graphics.h"

// 70 x 35, mostly white: drawn with bitwise AND, so only its marks show on the diagram.
TBitmap* MakeLogoBitmap();
// 250 x 15: red, yellow and green stripes of five rows each, the colours of the K bars.
TBitmap* MakeColourStripBitmap();
