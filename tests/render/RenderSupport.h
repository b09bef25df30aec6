#pragma once
// Diagrams with hand-made curves, and exact comparison of text cells in a drawing.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "../support/DayFiles.h"
#include "../support/TempDir.h"
#include "PixelSets.h"
#include "mox/Mm.h"

constexpr TColor kFrame = RGBColor(64, 64, 64);
constexpr TColor kGrid = RGBColor(160, 160, 160);
constexpr TColor kWhite = RGBColor(255, 255, 255);
constexpr TColor kAlarmRed = RGBColor(255, 0, 0);

// Loads curve `curve` of d from a one-component day file holding f(minute).
inline void LoadCurve(TMOX_Diagram& d, const TempDir& dir, int curve, const std::function<double(int)>& f,
                      const std::string& component = "By", const std::string& date = "15.06.03",
                      const std::string& remarks = "")
{
    std::string text = DayFileText({{component, Minutes(f)}}, date);
    const std::string emptyRemark = "REMARKS: \r\n";
    text.replace(text.find(emptyRemark), emptyRemark.size(), "REMARKS: " + remarks + "\r\n");
    const std::string file = dir / ("curve" + std::to_string(curve) + ".mox");
    WriteBytes(file, text);
    d.LoadData(file, 0, curve);
    ASSERT_TRUE(d.is_loaded(curve));
}

// The cell of `text` at (x, y) in `picture` is exactly what a lone TextOut in the same font on
// the background colour produces; rows beyond `rows` are not compared.
inline ::testing::AssertionResult TextAt(const TBitmap& picture, int x, int y, const std::string& text, int size,
                                         bool bold, TColor colour, TColor background = kWhite, int rows = 1 << 20)
{
    TBitmap probe(1, 1);
    TCanvas& pc = probe.Canvas;
    pc.Font.Size = size;
    pc.Font.Bold = bold;
    const int w = pc.TextWidth(text), h = std::min(pc.TextHeight(text), rows);
    if (w == 0 || h == 0) return ::testing::AssertionFailure() << "no text metrics";
    TBitmap ref(w, pc.TextHeight(text));
    ref.Canvas.Font.Size = size;
    ref.Canvas.Font.Bold = bold;
    ref.Canvas.Font.Color = colour;
    ref.Canvas.Brush.Color = background;
    ref.Canvas.TextOut(0, 0, text);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (picture.Pixel(x + i, y + j) != ref.Pixel(i, j))
                return ::testing::AssertionFailure()
                       << "\"" << text << "\" differs at (" << x + i << ", " << y + j << ")";
    return ::testing::AssertionSuccess();
}
