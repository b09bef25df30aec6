// The logo and the colour strip, made in code so that the library carries no resource files.
#include "mox/Bitmaps.h"

#include <cmath>
#include <new>
#include <numbers>

namespace {

constexpr int kLogoWidth = 70;
constexpr int kLogoHeight = 35;
// Drawn this many times larger and averaged down, for smooth edges.
constexpr int kOversample = 4;

void Polyline(TCanvas& cv, std::initializer_list<TPoint> points)
{
    bool first = true;
    for (const TPoint& p : points) {
        if (first) cv.MoveTo(p.X * kOversample, p.Y * kOversample);
        else cv.LineTo(p.X * kOversample, p.Y * kOversample);
        first = false;
    }
}

void DrawLogo(TCanvas& cv)
{
    const double s = kOversample;
    // "MOX" in slate blue.
    cv.Pen.Color = RGBColor(46, 78, 140);
    cv.Pen.Width = 3 * kOversample;
    Polyline(cv, {{6, 21}, {6, 4}, {14, 15}, {22, 4}, {22, 21}});
    const double cx = 35.0, cy = 12.5, rx = 7.5, ry = 8.5;
    for (int k = 0; k <= 48; ++k) {
        const double a = 2.0 * std::numbers::pi * k / 48.0;
        const int x = int(std::lround((cx + rx * std::cos(a)) * s));
        const int y = int(std::lround((cy + ry * std::sin(a)) * s));
        if (k == 0) cv.MoveTo(x, y);
        else cv.LineTo(x, y);
    }
    Polyline(cv, {{48, 4}, {64, 21}});
    Polyline(cv, {{64, 4}, {48, 21}});

    // A quiet trace with a short disturbance underneath, in red.
    cv.Pen.Color = RGBColor(215, 40, 40);
    cv.Pen.Width = 3 * kOversample / 2;
    for (int x = 4 * kOversample; x <= 66 * kOversample; ++x) {
        const double t = x / s;
        double y = 29.5 + 1.2 * std::sin(t / 3.2);
        if (t > 38.0 && t < 50.0)
            y += 3.2 * std::sin((t - 38.0) * 1.6) * std::sin((t - 38.0) * std::numbers::pi / 12.0);
        const int yy = int(std::lround(y * s));
        if (x == 4 * kOversample) cv.MoveTo(x, yy);
        else cv.LineTo(x, yy);
    }
}

}  // namespace

TBitmap* MakeLogoBitmap()
{
    try {
        TBitmap large(kLogoWidth * kOversample, kLogoHeight * kOversample);
        large.Canvas.Brush.Color = RGBColor(255, 255, 255);
        large.Canvas.FillRect(Rect(0, 0, large.Width(), large.Height()));
        DrawLogo(large.Canvas);

        auto* logo = new TBitmap(kLogoWidth, kLogoHeight);
        const int n = kOversample * kOversample;
        for (int y = 0; y < kLogoHeight; ++y) {
            for (int x = 0; x < kLogoWidth; ++x) {
                int r = 0, g = 0, b = 0;
                for (int dy = 0; dy < kOversample; ++dy) {
                    for (int dx = 0; dx < kOversample; ++dx) {
                        const TColor c = large.Pixel(x * kOversample + dx, y * kOversample + dy);
                        r += GetRValue(c);
                        g += GetGValue(c);
                        b += GetBValue(c);
                    }
                }
                logo->SetPixel(x, y, RGBColor((r + n / 2) / n, (g + n / 2) / n, (b + n / 2) / n));
            }
        }
        return logo;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

TBitmap* MakeColourStripBitmap()
{
    try {
        auto* strip = new TBitmap(250, 15);
        TCanvas& cv = strip->Canvas;
        cv.Brush.Color = 0x0000FF;
        cv.FillRect(Rect(0, 0, 250, 5));
        cv.Brush.Color = 0x00E6FF;
        cv.FillRect(Rect(0, 5, 250, 10));
        cv.Brush.Color = 0x00BE00;
        cv.FillRect(Rect(0, 10, 250, 15));
        return strip;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
