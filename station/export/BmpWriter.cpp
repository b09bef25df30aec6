// Windows bitmap files, rows bottom-up as the format stores them.
#include <cstdint>
#include <fstream>

#include "station/export/ImageExport.h"

namespace {

void Put16(std::string& out, std::uint32_t v)
{
    out.push_back(char(v));
    out.push_back(char(v >> 8));
}

void Put32(std::string& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::string BmpBytes(const TBitmap& Bitmap)
{
    const bool indexed = Bitmap.PixelFormat() == pf8bit;
    const std::uint32_t width = std::uint32_t(Bitmap.Width()), height = std::uint32_t(Bitmap.Height());
    const std::uint32_t bits = indexed ? 8 : 24;
    const std::uint32_t rowBytes = (width * bits / 8 + 3) & ~3u;
    const std::uint32_t paletteBytes = indexed ? 256 * 4 : 0;
    const std::uint32_t dataOffset = 14 + 40 + paletteBytes;
    const std::uint32_t imageBytes = rowBytes * height;

    std::string out;
    out.reserve(dataOffset + imageBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, dataOffset + imageBytes);
    Put32(out, 0);
    Put32(out, dataOffset);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);  // positive: bottom row first
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, 0);  // no compression
    Put32(out, imageBytes);
    Put32(out, 3780);  // 96 dpi
    Put32(out, 3780);
    Put32(out, indexed ? 256 : 0);
    Put32(out, 0);
    if (indexed) {
        for (TColor c : FixedPalette()) {
            out.push_back(char(GetBValue(c)));
            out.push_back(char(GetGValue(c)));
            out.push_back(char(GetRValue(c)));
            out.push_back(0);
        }
    }
    for (std::uint32_t r = 0; r < height; ++r) {
        const std::uint32_t* in = Bitmap.ScanLine(int(height - 1 - r));
        const std::size_t start = out.size();
        for (std::uint32_t x = 0; x < width; ++x) {
            if (indexed) {
                out.push_back(char(PaletteIndex(TBitmap::FromPixel(in[x]))));
            } else {
                out.push_back(char(in[x]));
                out.push_back(char(in[x] >> 8));
                out.push_back(char(in[x] >> 16));
            }
        }
        out.resize(start + rowBytes, 0);
    }
    return out;
}

void SaveBitmapFile(const std::string& FileName, const TBitmap& Bitmap)
{
    const std::string out = BmpBytes(Bitmap);
    std::ofstream file(FileName, std::ios::binary | std::ios::trunc);
    if (!file) throw EImageWriteError("Datei " + FileName + " kann nicht erstellt werden.");
    file.write(out.data(), std::streamsize(out.size()));
    file.close();
    if (!file) throw EImageWriteError("Fehler beim Schreiben der Datei " + FileName + ".");
}
