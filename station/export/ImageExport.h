#pragma once
// Diagram pictures as image files: PNG through libpng, JPEG through libjpeg (BmpToJpg.h),
// and BMP with 8 bits per pixel.
#include <stdexcept>
#include <string>

#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/Graphics.h"

// Raised when an image file cannot be created or written; the message is the one shown. Its
// control characters are made visible: a NUL in a folder setting would cut it short.
class EImageWriteError : public std::runtime_error {
public:
    explicit EImageWriteError(const std::string& message) : std::runtime_error(VisibleText(message)) {}
};

// libpng's row filters: one filter for every row, or libpng's adaptive choice per row.
enum class PngRowFilter { None, Sub, Up, Average, Paeth, Adaptive };

// The filter of the station's pictures: their rows are long runs of a few palette colours,
// which zlib finds as they are; any filter only turns them into less regular differences.
// Measured in docs/benchmarks.md.
constexpr PngRowFilter kPngRowFilter = PngRowFilter::None;

// How the pixels are stored: as palette indexes when the picture has at most 256 colours
// (after the palette reduction of SaveDiagramImage it always has), which decode to the same
// pixels as RGB in a smaller file that is quicker to compress; or always as RGB.
enum class PngColours { PaletteWhenItFits, Rgb };

// The PNG file of a bitmap: 8 bits per sample, top row first, not interlaced, compression
// level 9; palette or RGB as `colours` says. A transparent colour other than clNone is stored
// as the picture's transparent colour (as the transparency of its palette entry, when the
// picture has that colour). Raises "Error Writing PNG File!" when libpng fails.
std::string PngBytes(const TBitmap& Bitmap, TColor Transparent = clNone, PngRowFilter filter = kPngRowFilter,
                     PngColours colours = PngColours::PaletteWhenItFits);

// PngBytes into a file. Errors: "Error Opening File <name>!" and "Error Writing PNG File!"; the
// file is closed on every path, and a failed write never counts as written.
void BitmapToPng(const std::string& FileName, const TBitmap& Bitmap, TColor Transparent = clNone,
                 PngRowFilter filter = kPngRowFilter, PngColours colours = PngColours::PaletteWhenItFits);

// Windows bitmap file: 8 bits per pixel with the fixed palette when the bitmap's pixel format
// is pf8bit, otherwise 24 bits per pixel.
std::string BmpBytes(const TBitmap& Bitmap);
void SaveBitmapFile(const std::string& FileName, const TBitmap& Bitmap);

// The file of the picture of Image in one of the formats the station offers: BMP (format 0,
// 8 bits per pixel), JPEG (format 1, quality 60) or PNG (format 2, reduced to the 8-bit palette
// first); empty for any other format. Raises EImageWriteError when it cannot be encoded.
std::string DiagramImageBytes(const TImage& Image, int format);

// Writes DiagramImageBytes as base + ".bmp", ".jpg" or ".png". Each file is written through an
// AtomicFile, so readers never see half a picture and a failed write keeps the old one. Any
// other format writes nothing.
void SaveDiagramImage(const TImage& Image, const std::string& base, int format);
