// Bitmap and canvas. Everything writes the pixel words directly; coordinates far outside the
// picture (a curve running out of its frame) are clipped before any loop runs over them.
#include "mox/rtl/Graphics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mox/rtl/FontCache.h"

namespace {

struct Target {
    std::uint32_t* pixels;
    int width;
    int height;

    void Put(int x, int y, std::uint32_t p) const
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = p;
    }
    void Span(int y, int x0, int x1, std::uint32_t p) const  // x0..x1 inclusive
    {
        if (y < 0 || y >= height) return;
        x0 = std::max(x0, 0);
        x1 = std::min(x1, width - 1);
        if (x0 > x1) return;
        std::uint32_t* row = pixels + std::size_t(y) * std::size_t(width);
        std::fill(row + x0, row + x1 + 1, p);
    }
};

// Integer division rounding toward minus infinity.
long long FloorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// One-pixel line from a to b, b excluded. Along the major axis step k lands on the pixel
// nearest the ideal line; only the steps inside the picture are visited.
void ThinLine(const Target& t, long long x0, long long y0, long long x1, long long y1, std::uint32_t p, bool dotted)
{
    const long long dx = x1 - x0, dy = y1 - y0;
    const long long adx = std::llabs(dx), ady = std::llabs(dy);
    const long long n = std::max(adx, ady);  // pixels painted: steps 0..n-1
    if (n == 0) return;
    const bool xMajor = adx >= ady;
    const long long major0 = xMajor ? x0 : y0;
    const long long s = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const long long limit = xMajor ? t.width : t.height;
    // Steps whose major coordinate lies in [0, limit).
    long long kFirst = 0, kLast = n - 1;
    if (s > 0) {
        kFirst = std::max(kFirst, -major0);
        kLast = std::min(kLast, limit - 1 - major0);
    } else {
        kFirst = std::max(kFirst, major0 - (limit - 1));
        kLast = std::min(kLast, major0);
    }
    const long long minorD = xMajor ? dy : dx;
    const long long minor0 = xMajor ? y0 : x0;
    for (long long k = kFirst; k <= kLast; ++k) {
        if (dotted && (k & 1)) continue;
        const long long major = major0 + s * k;
        // minor0 + round(k * minorD / n), halves away from the start
        const long long minor =
            minor0 + (minorD >= 0 ? FloorDiv(2 * k * minorD + n, 2 * n) : -FloorDiv(-2 * k * minorD + n, 2 * n));
        if (xMajor) t.Put(int(major), int(minor), p);
        else t.Put(int(minor), int(major), p);
    }
}

// Interval of x' with lo <= a*x' + b <= hi; false when empty.
bool Solve(double a, double b, double lo, double hi, double& from, double& to)
{
    if (a == 0.0) {
        if (b < lo || b > hi) return false;
        from = -1e300;
        to = 1e300;
        return true;
    }
    double u = (lo - b) / a, v = (hi - b) / a;
    if (u > v) std::swap(u, v);
    from = u;
    to = v;
    return true;
}

// Pen of width w: every pixel whose centre lies within w/2 of the segment, so both ends get
// round caps. Odd widths are centred on the pixel centres, even widths on the pixel edges.
void WideLine(const Target& t, double x0, double y0, double x1, double y1, int w, std::uint32_t p)
{
    const double o = (w % 2) ? 0.5 : 0.0;
    const double ax = x0 + o, ay = y0 + o, bx = x1 + o, by = y1 + o;
    const double r = w / 2.0;
    const double eps = 1e-9;
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy, len = std::sqrt(len2);
    const double top = std::min(ay, by) - r, bottom = std::max(ay, by) + r;
    const long long rowFirst = std::max<long long>(0, (long long)std::floor(top - 0.5));
    const long long rowLast = std::min<long long>(t.height - 1, (long long)std::ceil(bottom));
    for (long long py = rowFirst; py <= rowLast; ++py) {
        const double yc = double(py) + 0.5;
        double lo = 1e300, hi = -1e300;
        auto disc = [&](double cx, double cy) {
            const double d = yc - cy;
            const double h2 = r * r - d * d;
            if (h2 < -eps) return;
            const double h = std::sqrt(std::max(h2, 0.0));
            lo = std::min(lo, cx - h);
            hi = std::max(hi, cx + h);
        };
        disc(ax, ay);
        disc(bx, by);
        if (len2 > 0.0) {
            double f1, t1, f2, t2;
            if (Solve(dx, (yc - ay) * dy, 0.0, len2, f1, t1) && Solve(dy, -(yc - ay) * dx, -r * len, r * len, f2, t2)) {
                const double f = std::max(f1, f2), e = std::min(t1, t2);
                if (f <= e) {
                    lo = std::min(lo, ax + f);
                    hi = std::max(hi, ax + e);
                }
            }
        }
        if (lo > hi) continue;
        const double first = std::ceil(lo - 0.5 - eps), last = std::floor(hi - 0.5 + eps);
        if (last < 0.0 || first > double(t.width - 1)) continue;
        t.Span(int(py), int(std::max(first, 0.0)), int(std::min(last, double(t.width - 1))), p);
    }
}

}  // namespace

// ---------------------------------------------------------------------------- TBitmap

TBitmap::TBitmap() : Canvas(*this) {}

TBitmap::TBitmap(int w, int h) : Canvas(*this) { SetSize(w, h); }

void TBitmap::SetSize(int w, int h)
{
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == width && h == height) return;
    std::vector<std::uint32_t> fresh(std::size_t(w) * std::size_t(h), ToPixel(0xFFFFFF));
    const int cw = std::min(w, width), ch = std::min(h, height);
    for (int y = 0; y < ch; ++y) std::copy(ScanLine(y), ScanLine(y) + cw, fresh.begin() + std::ptrdiff_t(y) * w);
    pixels.swap(fresh);
    width = w;
    height = h;
}

void TBitmap::Assign(const TBitmap& other)
{
    if (&other == this) return;
    width = other.width;
    height = other.height;
    format = other.format;
    pixels = other.pixels;
}

TColor TBitmap::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) return clInvalid;
    return FromPixel(ScanLine(y)[x]);
}

void TBitmap::SetPixel(int x, int y, TColor color)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    ScanLine(y)[x] = ToPixel(color);
}

void TBitmap::SetPixelFormat(TPixelFormat f)
{
    format = f;
    if (f != pf8bit) return;
    const auto& palette = FixedPalette();
    std::uint32_t lastIn = 0, lastOut = 0;
    bool haveLast = false;
    for (std::uint32_t& p : pixels) {
        if (!haveLast || p != lastIn) {
            lastIn = p;
            lastOut = ToPixel(palette[PaletteIndex(FromPixel(p))]);
            haveLast = true;
        }
        p = lastOut;
    }
}

// ---------------------------------------------------------------------------- TImage

void TImage::SetClientSize(int w, int h)
{
    clientWidth = std::max(w, 0);
    clientHeight = std::max(h, 0);
    Picture.SetSize(clientWidth, clientHeight);
}

// ---------------------------------------------------------------------------- TCanvas

namespace {
Target TargetOf(TBitmap& b) { return Target{b.Height() > 0 ? b.ScanLine(0) : nullptr, b.Width(), b.Height()}; }

// Keeps far-away coordinates representable; nothing that far is ever visible.
long long Clamp(long long v) { return std::clamp<long long>(v, -1000000000LL, 1000000000LL); }
}  // namespace

void TCanvas::LineTo(int x, int y)
{
    const TPoint from = PenPos;
    PenPos = TPoint{x, y};
    const Target t = TargetOf(*target);
    if (t.width == 0 || t.height == 0) return;
    const std::uint32_t p = TBitmap::ToPixel(Pen.Color);
    if (Pen.Width <= 1) ThinLine(t, Clamp(from.X), Clamp(from.Y), Clamp(x), Clamp(y), p, Pen.Style == psDot);
    else WideLine(t, from.X, from.Y, x, y, Pen.Width, p);
}

TColor TCanvas::Pixel(int x, int y) const { return target->Pixel(x, y); }

void TCanvas::SetPixel(int x, int y, TColor color) { target->SetPixel(x, y, color); }

void TCanvas::FillRect(const TRect& r)
{
    const Target t = TargetOf(*target);
    const std::uint32_t p = TBitmap::ToPixel(Brush.Color);
    const int y0 = std::max(r.Top, 0), y1 = std::min(r.Bottom, t.height);
    for (int y = y0; y < y1; ++y) t.Span(y, r.Left, r.Right - 1, p);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 - x1 < 1 || y2 - y1 < 1) return;
    FillRect(Rect(x1, y1, x2, y2));
    const TPoint saved = PenPos;
    const int r = x2 - 1, b = y2 - 1;
    MoveTo(x1, y1);
    LineTo(r, y1);
    LineTo(r, b);
    LineTo(x1, b);
    LineTo(x1, y1);
    PenPos = saved;
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    if (text.empty()) return;
    std::lock_guard<std::mutex> guard(moxrtl::FontLock());
    moxrtl::FontInstance* font = moxrtl::FindFont(Font.Name, Font.Size, Font.Bold);
    if (!font) return;
    const std::u32string cps = moxrtl::DecodeUtf8(text);
    long long cellWidth = 0;
    for (char32_t cp : cps) cellWidth += font->GlyphFor(cp).advance;
    const int ascent = font->Ascent();
    FillRect(Rect(x, y, int(std::min<long long>(x + cellWidth, 1LL << 30)), y + ascent + font->Descent()));

    const Target t = TargetOf(*target);
    const int fr = GetRValue(Font.Color), fg = GetGValue(Font.Color), fb = GetBValue(Font.Color);
    long long penX = x;
    const int baseline = y + ascent;
    for (char32_t cp : cps) {
        const moxrtl::Glyph& g = font->GlyphFor(cp);
        const long long gx = penX + g.left;
        const int gy = baseline - g.top;
        penX += g.advance;
        if (gx >= t.width || gx + g.width <= 0) continue;
        for (int r = 0; r < g.rows; ++r) {
            const int py = gy + r;
            if (py < 0 || py >= t.height) continue;
            std::uint32_t* row = t.pixels + std::size_t(py) * std::size_t(t.width);
            const std::uint8_t* cov = g.coverage.data() + std::size_t(r) * std::size_t(g.width);
            for (int c = 0; c < g.width; ++c) {
                const long long px = gx + c;
                const int a = cov[c];
                if (a == 0 || px < 0 || px >= t.width) continue;
                std::uint32_t& d = row[px];
                if (a == 255) {
                    d = TBitmap::ToPixel(Font.Color);
                    continue;
                }
                const int dr = int((d >> 16) & 0xFF), dg = int((d >> 8) & 0xFF), db = int(d & 0xFF);
                const int nr = dr + ((fr - dr) * a + 127) / 255;
                const int ng = dg + ((fg - dg) * a + 127) / 255;
                const int nb = db + ((fb - db) * a + 127) / 255;
                d = 0xFF000000u | (std::uint32_t(nr) << 16) | (std::uint32_t(ng) << 8) | std::uint32_t(nb);
            }
        }
    }
}

int TCanvas::TextWidth(const std::string& text) const
{
    std::lock_guard<std::mutex> guard(moxrtl::FontLock());
    moxrtl::FontInstance* font = moxrtl::FindFont(Font.Name, Font.Size, Font.Bold);
    if (!font) return 0;
    long long w = 0;
    for (char32_t cp : moxrtl::DecodeUtf8(text)) w += font->GlyphFor(cp).advance;
    return int(std::min<long long>(w, 1LL << 30));
}

int TCanvas::TextHeight(const std::string&) const
{
    std::lock_guard<std::mutex> guard(moxrtl::FontLock());
    moxrtl::FontInstance* font = moxrtl::FindFont(Font.Name, Font.Size, Font.Bold);
    return font ? font->Ascent() + font->Descent() : 0;
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect)
{
    const int dw = dest.Width(), dh = dest.Height();
    const int sw = sourceRect.Width(), sh = sourceRect.Height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    const TBitmap& src = *source.target;
    // Copying within one picture reads from a snapshot so that overlaps stay intact.
    TBitmap snapshot;
    const TBitmap* from = &src;
    if (source.target == target) {
        snapshot.Assign(src);
        from = &snapshot;
    }
    const Target t = TargetOf(*target);
    const int y0 = std::max(dest.Top, 0), y1 = std::min(dest.Bottom, t.height);
    const int x0 = std::max(dest.Left, 0), x1 = std::min(dest.Right, t.width);
    for (int y = y0; y < y1; ++y) {
        const long long sy = sourceRect.Top + (long long)(y - dest.Top) * sh / dh;
        if (sy < 0 || sy >= from->Height()) continue;
        const std::uint32_t* srow = from->ScanLine(int(sy));
        std::uint32_t* drow = t.pixels + std::size_t(y) * std::size_t(t.width);
        for (int x = x0; x < x1; ++x) {
            const long long sx = sourceRect.Left + (long long)(x - dest.Left) * sw / dw;
            if (sx < 0 || sx >= from->Width()) continue;
            if (CopyMode == cmSrcAnd) drow[x] &= srow[sx];
            else drow[x] = srow[sx];
        }
    }
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    CopyRect(Rect(x, y, x + w, y + h), bitmap.Canvas, Rect(0, 0, w, h));
}

// ---------------------------------------------------------------------------- palette

namespace {
std::array<TColor, 256> MakePalette()
{
    std::array<TColor, 256> pal{};
    std::size_t n = 0;
    const int level[6] = {0, 51, 102, 153, 204, 255};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) pal[n++] = RGBColor(level[r], level[g], level[b]);
    const TColor extra[] = {
        RGBColor(128, 0, 0),     RGBColor(0, 128, 0),     RGBColor(128, 128, 0),
        RGBColor(0, 0, 128),     RGBColor(128, 0, 128),   RGBColor(0, 128, 128),
        RGBColor(128, 128, 128), RGBColor(192, 192, 192),  // the remaining standard colours
        RGBColor(64, 64, 64),    RGBColor(160, 160, 160),  // frame and text, grid
        RGBColor(0, 190, 0),     RGBColor(255, 230, 0),    // K bar stripes
    };
    std::vector<int> greys;
    for (TColor c : extra) pal[n++] = c;
    for (std::size_t i = 0; i < n; ++i)
        if (GetRValue(pal[i]) == GetGValue(pal[i]) && GetGValue(pal[i]) == GetBValue(pal[i]))
            greys.push_back(GetRValue(pal[i]));
    // Fill the rest with greys, each splitting the widest remaining gap of the grey ramp.
    while (n < pal.size()) {
        std::sort(greys.begin(), greys.end());
        std::size_t at = 0;
        for (std::size_t i = 1; i + 1 < greys.size(); ++i)
            if (greys[i + 1] - greys[i] > greys[at + 1] - greys[at]) at = i;
        const int v = (greys[at] + greys[at + 1]) / 2;
        greys.push_back(v);
        pal[n++] = RGBColor(v, v, v);
    }
    return pal;
}
}  // namespace

const std::array<TColor, 256>& FixedPalette()
{
    static const std::array<TColor, 256> palette = MakePalette();
    return palette;
}

std::uint8_t PaletteIndex(TColor color)
{
    color &= 0xFFFFFF;
    // Pictures hold few distinct colours; remember recent answers.
    struct Slot {
        TColor color = 0xFFFFFFFF;
        std::uint8_t index = 0;
    };
    thread_local std::array<Slot, 4096> memo;
    Slot& slot = memo[(color * 2654435761u) >> 20];
    if (slot.color == color) return slot.index;
    const auto& pal = FixedPalette();
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    int best = 0;
    long bestDist = -1;
    for (int i = 0; i < 256; ++i) {
        const int dr = r - GetRValue(pal[std::size_t(i)]), dg = g - GetGValue(pal[std::size_t(i)]),
                  db = b - GetBValue(pal[std::size_t(i)]);
        // Weighted by the eye's sensitivity, so greys stay grey.
        const long dist = 3L * dr * dr + 4L * dg * dg + 2L * db * db;
        if (bestDist < 0 || dist < bestDist) {
            bestDist = dist;
            best = i;
        }
    }
    slot.color = color;
    slot.index = std::uint8_t(best);
    return slot.index;
}
