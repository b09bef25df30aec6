// PNG output over libpng. libpng reports errors by jumping out of its calls, so the part that
// talks to it is a plain C frame without destructors; buffers and the file are managed around it.
#include <cstdio>
#include <vector>

#include <png.h>

#include "station/export/ImageExport.h"

namespace {

[[noreturn]] void JumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Warnings are not errors, and the library prints nothing.
void IgnoreWarning(png_structp, png_const_charp) {}

int FilterMask(PngRowFilter filter)
{
    switch (filter) {
    case PngRowFilter::None: return PNG_FILTER_NONE;
    case PngRowFilter::Sub: return PNG_FILTER_SUB;
    case PngRowFilter::Up: return PNG_FILTER_UP;
    case PngRowFilter::Average: return PNG_FILTER_AVG;
    case PngRowFilter::Paeth: return PNG_FILTER_PAETH;
    default: return PNG_ALL_FILTERS;
    }
}

bool WritePng(std::FILE* file, png_uint_32 width, png_uint_32 height, png_bytepp rows, const png_color_16* transparent,
              int filters)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning);
    if (!png) return false;
    png_set_compression_level(png, 9);
    png_set_compression_strategy(png, 0);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_write_status_fn(png, nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (transparent) png_set_tRNS(png, info, nullptr, 0, transparent);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_write_flush(png);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

void BitmapToPng(const std::string& FileName, const TBitmap& Bitmap, TColor Transparent, PngRowFilter filter)
{
    const int width = Bitmap.Width(), height = Bitmap.Height();
    std::vector<png_byte> pixels(std::size_t(width) * std::size_t(height) * 3);
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        png_bytep out = pixels.data() + std::size_t(width) * 3 * std::size_t(y);
        rows[std::size_t(y)] = out;
        const std::uint32_t* in = Bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            *out++ = png_byte(in[x] >> 16);
            *out++ = png_byte(in[x] >> 8);
            *out++ = png_byte(in[x]);
        }
    }
    png_color_16 key{};
    const bool keyed = Transparent != clNone;
    if (keyed) {
        key.red = png_uint_16(GetRValue(Transparent));
        key.green = png_uint_16(GetGValue(Transparent));
        key.blue = png_uint_16(GetBValue(Transparent));
    }

    std::FILE* file = std::fopen(FileName.c_str(), "wb");
    if (!file) throw EImageWriteError("Error Opening File " + FileName + "!");
    const bool written = WritePng(file, png_uint_32(width), png_uint_32(height), rows.data(), keyed ? &key : nullptr,
                                  FilterMask(filter));
    // Data still buffered may fail only here (a full disk): that is a failed write too.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) throw EImageWriteError("Error Writing PNG File!");
}
