// PNG output over libpng. libpng reports errors by jumping out of its calls, so the part that
// talks to it is a plain C frame without destructors; buffers are managed around it.
#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include <png.h>

#include "station/export/ImageExport.h"

namespace {

[[noreturn]] void JumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Warnings are not errors, and the library prints nothing.
void IgnoreWarning(png_structp, png_const_charp) {}

void AppendToString(png_structp png, png_bytep data, png_size_t length)
{
    try {
        static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        png_error(png, "kein Speicher");  // the message is dropped: the write fails as a whole
    }
}

void NoFlush(png_structp) {}

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

// What goes into the file: rows of RGB triples, or of palette indexes with the palette.
struct Encoded {
    std::vector<png_byte> pixels;
    std::vector<png_bytep> rows;
    std::vector<png_color> palette;  // empty for RGB
    std::vector<png_byte> alpha;     // the palette's transparency, empty when none
};

constexpr std::uint32_t kRgb = 0xFFFFFFu;

// The picture's colours, sorted, when there are at most 256 of them; else empty. Pictures
// are long runs of one colour, so a run costs one comparison.
std::vector<std::uint32_t> FewColours(const TBitmap& bitmap)
{
    std::vector<std::uint32_t> colours;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* in = bitmap.ScanLine(y);
        std::uint32_t last = ~0u;
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint32_t c = in[x] & kRgb;
            if (c == last) continue;
            last = c;
            const auto at = std::lower_bound(colours.begin(), colours.end(), c);
            if (at != colours.end() && *at == c) continue;
            if (colours.size() == 256) return {};
            colours.insert(at, c);
        }
    }
    return colours;
}

Encoded Prepare(const TBitmap& bitmap, TColor transparent, PngColours choice)
{
    Encoded e;
    const std::size_t width = std::size_t(bitmap.Width()), height = std::size_t(bitmap.Height());
    const std::vector<std::uint32_t> colours =
        choice == PngColours::Rgb ? std::vector<std::uint32_t>() : FewColours(bitmap);
    const bool indexed = !colours.empty();
    e.pixels.resize(width * height * (indexed ? 1 : 3));
    e.rows.resize(height);
    for (std::size_t y = 0; y < height; ++y) {
        png_bytep out = e.pixels.data() + width * (indexed ? 1 : 3) * y;
        e.rows[y] = out;
        const std::uint32_t* in = bitmap.ScanLine(int(y));
        std::uint32_t last = ~0u;
        png_byte index = 0;
        for (std::size_t x = 0; x < width; ++x) {
            if (!indexed) {
                *out++ = png_byte(in[x] >> 16);
                *out++ = png_byte(in[x] >> 8);
                *out++ = png_byte(in[x]);
                continue;
            }
            const std::uint32_t c = in[x] & kRgb;
            if (c != last) {
                last = c;
                index = png_byte(std::lower_bound(colours.begin(), colours.end(), c) - colours.begin());
            }
            *out++ = index;
        }
    }
    for (std::uint32_t c : colours) e.palette.push_back({png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
    if (indexed && transparent != clNone) {
        const std::uint32_t key = TBitmap::ToPixel(transparent) & kRgb;
        const auto at = std::lower_bound(colours.begin(), colours.end(), key);
        // Entries after the transparent one need no alpha: tRNS may stop short of the palette.
        if (at != colours.end() && *at == key) {
            e.alpha.assign(std::size_t(at - colours.begin()) + 1, 255);
            e.alpha.back() = 0;
        }
    }
    return e;
}

bool WritePng(std::string& out, png_uint_32 width, png_uint_32 height, Encoded& e, const png_color_16* transparent,
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
    png_set_write_fn(png, &out, AppendToString, NoFlush);
    const bool indexed = !e.palette.empty();
    png_set_IHDR(png, info, width, height, 8, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        png_set_PLTE(png, info, e.palette.data(), int(e.palette.size()));
        if (!e.alpha.empty()) png_set_tRNS(png, info, e.alpha.data(), int(e.alpha.size()), nullptr);
    } else if (transparent) {
        png_set_tRNS(png, info, nullptr, 0, transparent);
    }
    png_write_info(png, info);
    png_write_image(png, e.rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::string PngBytes(const TBitmap& Bitmap, TColor Transparent, PngRowFilter filter, PngColours colours)
{
    Encoded e = Prepare(Bitmap, Transparent, colours);
    png_color_16 key{};
    const bool keyed = Transparent != clNone;
    if (keyed) {
        key.red = png_uint_16(GetRValue(Transparent));
        key.green = png_uint_16(GetGValue(Transparent));
        key.blue = png_uint_16(GetBValue(Transparent));
    }
    std::string out;
    if (!WritePng(out, png_uint_32(Bitmap.Width()), png_uint_32(Bitmap.Height()), e, keyed ? &key : nullptr,
                  FilterMask(filter)))
        throw EImageWriteError("Error Writing PNG File!");
    return out;
}

void BitmapToPng(const std::string& FileName, const TBitmap& Bitmap, TColor Transparent, PngRowFilter filter,
                 PngColours colours)
{
    std::FILE* file = std::fopen(FileName.c_str(), "wb");
    if (!file) throw EImageWriteError("Error Opening File " + FileName + "!");
    std::string bytes;
    try {
        bytes = PngBytes(Bitmap, Transparent, filter, colours);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // Data still buffered may fail only here (a full disk): that is a failed write too.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) throw EImageWriteError("Error Writing PNG File!");
}
