#pragma once
// Where a colour stands in a picture: the columns of a row, the rows of a column.
#include <algorithm>
#include <set>

#include "mox/rtl/Graphics.h"

// Columns from..to-1 of row y that hold colour c.
inline std::set<int> ColumnsOf(const TBitmap& b, int y, TColor c, int from = 0, int to = 1 << 30)
{
    std::set<int> xs;
    for (int x = std::max(from, 0); x < std::min(to, b.Width()); ++x)
        if (b.Pixel(x, y) == c) xs.insert(x);
    return xs;
}

inline std::set<int> RowsOf(const TBitmap& b, int x, TColor c)
{
    std::set<int> ys;
    for (int y = 0; y < b.Height(); ++y)
        if (b.Pixel(x, y) == c) ys.insert(y);
    return ys;
}
