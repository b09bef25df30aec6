#pragma once
// Raster pictures and the canvas the diagram draws on.
//
// A TBitmap holds 32-bit pixels; a TCanvas draws into one with a pen, a brush and a font, with
// the semantics of the desktop canvas the programs were written against: a line paints its
// start point but not its end point, rectangles exclude their right and bottom edges, text is
// written on an opaque cell in the brush colour with the cell's top-left corner at the given
// point, and font sizes are points at 96 dpi. Text goes through FreeType; faces are found by
// name through fontconfig, so "Arial" resolves to a metric-compatible face.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mox/rtl/Types.h"

// Answer of Pixel() outside the picture.
constexpr TColor clInvalid = 0xFFFFFFFF;
// "No colour", e.g. no transparent colour for an image writer.
constexpr TColor clNone = 0x1FFFFFFF;

struct TPoint {
    int X = 0;
    int Y = 0;
};

// Right and bottom are exclusive.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
};

constexpr TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }

// A dotted pen paints every other pixel of a line. Pens wider than one pixel always draw
// solid, with round ends that cover both end points.
enum TPenStyle : std::uint8_t { psSolid, psDot };

struct TPen {
    TColor Color = 0x000000;
    int Width = 1;
    TPenStyle Style = psSolid;
};

struct TBrush {
    TColor Color = 0xFFFFFF;
};

struct TFont {
    std::string Name = "Arial";
    int Size = 8;  // points at 96 dpi
    bool Bold = false;
    TColor Color = 0x000000;
};

// How copied pixels combine with the target: replace, or bitwise AND (white leaves the
// target unchanged).
enum TCopyMode : std::uint8_t { cmSrcCopy, cmSrcAnd };

// 8 bits per pixel means: every pixel is one of the 256 colours of FixedPalette().
enum TPixelFormat : std::uint8_t { pf32bit, pf8bit };

class TBitmap;

class TCanvas {
public:
    TPen Pen;
    TBrush Brush;
    TFont Font;
    TCopyMode CopyMode = cmSrcCopy;

    explicit TCanvas(TBitmap& target) : target(&target) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    void MoveTo(int x, int y) { PenPos = TPoint{x, y}; }
    void LineTo(int x, int y);
    TPoint PenPos;

    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    void FillRect(const TRect& r);  // brush colour, no outline
    // Brush-filled inside, outlined with the pen along the rectangle's outermost pixels.
    void Rectangle(int x1, int y1, int x2, int y2);

    void TextOut(int x, int y, const std::string& text);  // text is UTF-8
    int TextWidth(const std::string& text) const;
    int TextHeight(const std::string& text) const;

    // Copies source rectangle of another canvas's picture into dest, stretching it to fit
    // (nearest pixel), combined by CopyMode.
    void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect);
    // The whole bitmap with its top-left corner at (x, y), combined by CopyMode.
    void Draw(int x, int y, const TBitmap& bitmap);

private:
    TBitmap* target;
};

class TBitmap {
public:
    TBitmap();
    TBitmap(int width, int height);
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    TCanvas Canvas;

    int Width() const { return width; }
    int Height() const { return height; }
    void SetWidth(int w) { SetSize(w, height); }
    void SetHeight(int h) { SetSize(width, h); }
    // Keeps the pixels that stay inside; new pixels are white. Negative sizes count as 0.
    void SetSize(int w, int h);

    // Copies size, pixels and pixel format of another bitmap.
    void Assign(const TBitmap& other);

    TColor Pixel(int x, int y) const;  // clInvalid outside
    void SetPixel(int x, int y, TColor color);

    // Setting pf8bit maps every pixel to its nearest colour in FixedPalette().
    TPixelFormat PixelFormat() const { return format; }
    void SetPixelFormat(TPixelFormat f);

    // Rows top to bottom, each Width() words of 0xFFRRGGBB (bytes B, G, R, 0xFF in memory):
    // the layout of a 32-bit device-independent bitmap and of QImage::Format_RGB32.
    std::uint32_t* ScanLine(int y) { return pixels.data() + std::size_t(y) * std::size_t(width); }
    const std::uint32_t* ScanLine(int y) const { return pixels.data() + std::size_t(y) * std::size_t(width); }
    int BytesPerLine() const { return width * 4; }

    static std::uint32_t ToPixel(TColor c)
    {
        return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
    }
    static TColor FromPixel(std::uint32_t p) { return ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16); }

private:
    int width = 0;
    int height = 0;
    TPixelFormat format = pf32bit;
    std::vector<std::uint32_t> pixels;
};

// The image control the diagram draws on. Hosts keep Picture as large as the client area.
class TImage {
public:
    TImage() = default;
    TImage(int clientWidth, int clientHeight) { SetClientSize(clientWidth, clientHeight); }
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    TBitmap Picture;

    int ClientWidth() const { return clientWidth; }
    int ClientHeight() const { return clientHeight; }
    // Resizes the client area and the picture with it.
    void SetClientSize(int w, int h);

private:
    int clientWidth = 0;
    int clientHeight = 0;
};

// The fixed 256-colour palette of 8-bit pictures: a 6x6x6 colour cube, the sixteen standard
// colours, the diagram's own frame, grid and bar colours, and a grey ramp for smooth text.
const std::array<TColor, 256>& FixedPalette();
// Index of the nearest palette colour; exact for every palette colour.
std::uint8_t PaletteIndex(TColor color);

// False when no font face at all could be loaded: text is then left out of every drawing.
// Programs may say so once; the runtime itself stays silent.
bool TextRenderingAvailable();
