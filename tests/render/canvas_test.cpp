#include <gtest/gtest.h>

#include <set>

#include "PixelSets.h"
#include "mox/rtl/Graphics.h"

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kRed = 0x0000FF;

}  // namespace

TEST(Canvas, ThinLinePaintsItsStartButNotItsEnd)
{
    TBitmap b(20, 20);
    b.Canvas.Pen.Color = kRed;
    b.Canvas.MoveTo(3, 5);
    b.Canvas.LineTo(9, 5);
    EXPECT_EQ(ColumnsOf(b, 5, kRed), (std::set<int>{3, 4, 5, 6, 7, 8}));
    b.Canvas.LineTo(9, 2);  // continues from the end point, which this line now paints
    EXPECT_EQ(RowsOf(b, 9, kRed), (std::set<int>{3, 4, 5}));
    EXPECT_EQ(b.Canvas.PenPos.X, 9);
    EXPECT_EQ(b.Canvas.PenPos.Y, 2);

    // A diagonal takes one pixel per step; a line of length zero paints nothing.
    TBitmap d(10, 10);
    d.Canvas.Pen.Color = kRed;
    d.Canvas.MoveTo(0, 0);
    d.Canvas.LineTo(4, 4);
    d.Canvas.LineTo(4, 4);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(d.Pixel(i, i), i < 4 ? kRed : kWhite) << i;
}

TEST(Canvas, DottedPenPaintsEveryOtherPixelFromTheStart)
{
    TBitmap b(20, 3);
    b.Canvas.Pen.Color = kRed;
    b.Canvas.Pen.Style = psDot;
    b.Canvas.MoveTo(2, 1);
    b.Canvas.LineTo(11, 1);
    EXPECT_EQ(ColumnsOf(b, 1, kRed), (std::set<int>{2, 4, 6, 8, 10}));
}

TEST(Canvas, CopyRectStretchesAndAndModeKeepsTheTargetUnderWhite)
{
    TBitmap src(2, 2);
    src.SetPixel(0, 0, 0x000000);
    src.SetPixel(1, 1, 0x0000FF);
    TBitmap b(8, 8);
    b.Canvas.CopyRect(Rect(2, 2, 6, 6), src.Canvas, Rect(0, 0, 2, 2));
    EXPECT_EQ(b.Pixel(2, 2), 0x000000u);
    EXPECT_EQ(b.Pixel(3, 3), 0x000000u);
    EXPECT_EQ(b.Pixel(4, 2), kWhite);
    EXPECT_EQ(b.Pixel(5, 5), 0x0000FFu);
    EXPECT_EQ(b.Pixel(6, 6), kWhite);

    TBitmap t(4, 2);
    t.Canvas.Brush.Color = 0x00FFFF;  // yellow
    t.Canvas.FillRect(Rect(0, 0, 4, 2));
    t.Canvas.CopyMode = cmSrcAnd;
    t.Canvas.Draw(1, 0, src);
    EXPECT_EQ(t.Pixel(0, 0), 0x00FFFFu);  // outside the drawn bitmap
    EXPECT_EQ(t.Pixel(1, 0), 0x000000u);  // black source
    EXPECT_EQ(t.Pixel(2, 0), 0x00FFFFu);  // white source leaves the target
    EXPECT_EQ(t.Pixel(2, 1), 0x0000FFu);  // yellow AND red
}

TEST(Bitmap, EightBitFormatKeepsTheDiagramColoursExactly)
{
    const TColor kept[] = {0xFFFFFF, 0x000000, 0x0000FF, 0x800000, 0x008000,
                           0x404040, 0xA0A0A0, 0x00BE00, 0x00E6FF, RGBColor(192, 192, 192)};
    TBitmap b(int(std::size(kept)) + 1, 1);
    for (std::size_t i = 0; i < std::size(kept); ++i) b.SetPixel(int(i), 0, kept[i]);
    b.SetPixel(int(std::size(kept)), 0, RGBColor(250, 3, 2));  // not in the palette
    b.SetPixelFormat(pf8bit);
    EXPECT_EQ(b.PixelFormat(), pf8bit);
    for (std::size_t i = 0; i < std::size(kept); ++i) EXPECT_EQ(b.Pixel(int(i), 0), kept[i]) << i;
    EXPECT_EQ(b.Pixel(int(std::size(kept)), 0), RGBColor(255, 0, 0));

    // Every palette entry is its own nearest colour; the palette holds no colour twice.
    const auto& pal = FixedPalette();
    for (int i = 0; i < 256; ++i) EXPECT_EQ(PaletteIndex(pal[std::size_t(i)]), i);
}
