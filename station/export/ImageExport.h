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

// RGB, 8 bits per channel, top row first, not interlaced, compression level 9. A transparent
// colour other than clNone is stored as the picture's transparent colour.
// Errors: "Error Opening File <name>!" and "Error Writing PNG File!"; the file is closed on
// every path, and a failed write never counts as written.
void BitmapToPng(const std::string& FileName, const TBitmap& Bitmap, TColor Transparent = clNone,
                 PngRowFilter filter = kPngRowFilter);

// Windows bitmap file: 8 bits per pixel with the fixed palette when the bitmap's pixel format
// is pf8bit, otherwise 24 bits per pixel.
void SaveBitmapFile(const std::string& FileName, const TBitmap& Bitmap);

// Writes the picture of Image as base + ".bmp" (format 0, 8 bits per pixel), base + ".jpg"
// (format 1, quality 60) or base + ".png" (format 2, reduced to the 8-bit palette first).
// Each file is written through an AtomicFile, so readers never see half a picture and a failed
// write keeps the old one. Any other format writes nothing.
void SaveDiagramImage(const TImage& Image, const std::string& base, int format);
