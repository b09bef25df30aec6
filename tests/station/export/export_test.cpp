#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include "../../support/TempDir.h"
#include "mox/Mm.h"
#include "station/export/BmpToJpg.h"
#include "station/export/ImageExport.h"

namespace {

struct PngFile {
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    bool hasTransparent = false;
    png_color_16 transparent{};
    std::vector<std::vector<png_byte>> rows;
};

PngFile ReadPng(const std::string& name)
{
    PngFile f;
    std::FILE* in = std::fopen(name.c_str(), "rb");
    EXPECT_TRUE(in) << name;
    if (!in) return f;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        ADD_FAILURE() << "unreadable PNG " << name;
    } else {
        png_init_io(png, in);
        png_read_info(png, info);
        png_get_IHDR(png, info, &f.width, &f.height, &f.bitDepth, &f.colourType, &f.interlace, nullptr, nullptr);
        png_color_16p trans = nullptr;
        if (f.colourType == PNG_COLOR_TYPE_RGB && png_get_tRNS(png, info, nullptr, nullptr, &trans) && trans) {
            f.hasTransparent = true;
            f.transparent = *trans;
        }
        // Palette indexes come as the RGB they stand for.
        if (f.colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
        png_read_update_info(png, info);
        f.rows.assign(f.height, std::vector<png_byte>(png_get_rowbytes(png, info)));
        for (auto& row : f.rows) png_read_row(png, row.data(), nullptr);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(in);
    return f;
}

// The pixels a viewer shows: every PNG decoded by libpng to RGBA, top row first.
std::vector<png_byte> DecodedPixels(const std::string& name)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<png_byte> pixels;
    if (!png_image_begin_read_from_file(&image, name.c_str())) {
        ADD_FAILURE() << "unreadable PNG " << name << ": " << image.message;
        return pixels;
    }
    image.format = PNG_FORMAT_RGBA;
    pixels.resize(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
    png_image_free(&image);
    return pixels;
}

struct JpegFile {
    int width = 0, height = 0, components = 0, dcQuant = 0;
    std::vector<unsigned char> pixels;  // RGB, top row first
};

JpegFile ReadJpeg(const std::string& name)
{
    JpegFile f;
    std::FILE* in = std::fopen(name.c_str(), "rb");
    EXPECT_TRUE(in) << name;
    if (!in) return f;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, in);
    jpeg_read_header(&cinfo, TRUE);
    f.dcQuant = cinfo.quant_tbl_ptrs[0]->quantval[0];
    jpeg_start_decompress(&cinfo);
    f.width = int(cinfo.output_width);
    f.height = int(cinfo.output_height);
    f.components = cinfo.output_components;
    f.pixels.resize(std::size_t(f.width) * f.height * f.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = f.pixels.data() + std::size_t(cinfo.output_scanline) * f.width * f.components;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(in);
    return f;
}

std::uint32_t U32(const std::string& b, std::size_t at)
{
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

// A drawn diagram 642 x 376 with a marker in its top-left and bottom-right corners.
struct Picture {
    TMOX_Diagram diagram;
    TImage image{642, 376};
    Picture()
    {
        diagram.MOX_Image = &image;
        diagram.ShowMagnetogramm();
        image.Picture.SetPixel(0, 0, 0x0000FF);
        image.Picture.SetPixel(641, 375, 0xFF0000);
    }
};

std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EImageWriteError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Png, RgbEightBitTopRowFirst)
{
    TempDir dir;
    Picture p;
    const std::string name = dir / "d.png";
    BitmapToPng(name, p.image.Picture, clNone, kPngRowFilter, PngColours::Rgb);
    const PngFile f = ReadPng(name);
    ASSERT_EQ(f.width, 642u);
    ASSERT_EQ(f.height, 376u);
    EXPECT_EQ(f.bitDepth, 8);
    EXPECT_EQ(f.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(f.interlace, PNG_INTERLACE_NONE);
    EXPECT_FALSE(f.hasTransparent);
    for (int y = 0; y < 376; ++y)
        for (int x = 0; x < 642; ++x) {
            const TColor c = p.image.Picture.Pixel(x, y);
            const png_byte* px = &f.rows[std::size_t(y)][std::size_t(3 * x)];
            ASSERT_EQ(RGBColor(px[0], px[1], px[2]), c) << x << "," << y;
        }
    EXPECT_EQ(f.rows[0][0], 255);  // the red marker is in the file's first row

    BitmapToPng(name, p.image.Picture, RGBColor(1, 2, 3), kPngRowFilter, PngColours::Rgb);
    const PngFile t = ReadPng(name);
    ASSERT_TRUE(t.hasTransparent);
    EXPECT_EQ(t.transparent.red, 1);
    EXPECT_EQ(t.transparent.green, 2);
    EXPECT_EQ(t.transparent.blue, 3);
}

// A picture of at most 256 colours, as every picture is after the palette reduction, is stored
// as palette indexes: a viewer sees exactly the pixels of the RGB file, transparency included,
// from a smaller file. More colours stay RGB.
TEST(Png, APictureOfFewColoursIsStoredAsPaletteWithTheSamePixels)
{
    TempDir dir;
    Picture p;
    TBitmap reduced;
    reduced.Assign(p.image.Picture);
    reduced.SetPixelFormat(pf8bit);
    TBitmap many(300, 2);  // 300 greys and blues: one more colour than a palette holds
    for (int x = 0; x < 300; ++x) {
        many.SetPixel(x, 0, RGBColor(std::uint8_t(x), std::uint8_t(x), std::uint8_t(x)));
        many.SetPixel(x, 1, RGBColor(0, 0, std::uint8_t(x / 2)));
    }
    const TColor background = p.image.Picture.Pixel(300, 200);
    struct Case {
        const char* name;
        const TBitmap& bitmap;
        TColor transparent;
        int colourType;
    };
    for (const Case& c : {Case{"drawn", p.image.Picture, clNone, PNG_COLOR_TYPE_PALETTE},
                          Case{"reduced", reduced, clNone, PNG_COLOR_TYPE_PALETTE},
                          Case{"transparent", reduced, background, PNG_COLOR_TYPE_PALETTE},
                          Case{"absent", reduced, RGBColor(1, 2, 3), PNG_COLOR_TYPE_PALETTE},
                          Case{"many", many, clNone, PNG_COLOR_TYPE_RGB}}) {
        const std::string rgb = dir / (std::string(c.name) + "-rgb.png");
        const std::string fitted = dir / (std::string(c.name) + ".png");
        BitmapToPng(rgb, c.bitmap, c.transparent, kPngRowFilter, PngColours::Rgb);
        BitmapToPng(fitted, c.bitmap, c.transparent);
        EXPECT_EQ(ReadPng(fitted).colourType, c.colourType) << c.name;
        const std::vector<png_byte> expected = DecodedPixels(rgb);
        ASSERT_EQ(expected.size(), std::size_t(c.bitmap.Width()) * std::size_t(c.bitmap.Height()) * 4) << c.name;
        EXPECT_TRUE(DecodedPixels(fitted) == expected) << c.name;
        if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
            EXPECT_LT(std::filesystem::file_size(fitted), std::filesystem::file_size(rgb)) << c.name;
        }
    }
    // The transparent colour is transparent in the palette file too.
    const std::vector<png_byte> keyed = DecodedPixels(dir / "transparent.png");
    EXPECT_EQ(keyed[(std::size_t(200) * 642 + 300) * 4 + 3], 0);
    EXPECT_EQ(keyed[3], 255);
}

// The filter byte of every row, from the file's compressed image data.
std::vector<int> RowFilters(const std::string& name, std::size_t rowBytes)
{
    const std::string bytes = ReadBytes(name);
    std::string compressed;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        const std::size_t length = std::size_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
        if (bytes.compare(at + 4, 4, "IDAT") == 0) compressed += bytes.substr(at + 8, length);
        at += length + 12;
    }
    std::vector<unsigned char> raw(4 << 20);
    uLongf size = raw.size();
    EXPECT_EQ(uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()),
              Z_OK);
    std::vector<int> filters;
    for (std::size_t at = 0; at < size; at += rowBytes + 1) filters.push_back(raw[at]);
    return filters;
}

// Every row filter gives the same picture; the station writes its pictures unfiltered, the
// smallest and quickest choice for them.
TEST(Png, RowFiltersChangeTheFileNotThePicture)
{
    TempDir dir;
    Picture p;
    BitmapToPng(dir / "chosen.png", p.image.Picture);
    EXPECT_EQ(RowFilters(dir / "chosen.png", 642), std::vector<int>(376, 0));
    const PngFile chosen = ReadPng(dir / "chosen.png");
    for (PngRowFilter f :
         {PngRowFilter::Sub, PngRowFilter::Up, PngRowFilter::Average, PngRowFilter::Paeth, PngRowFilter::Adaptive}) {
        BitmapToPng(dir / "other.png", p.image.Picture, clNone, f);
        EXPECT_TRUE(ReadPng(dir / "other.png").rows == chosen.rows) << int(f);
        EXPECT_NE(RowFilters(dir / "other.png", 642), std::vector<int>(376, 0)) << int(f);
    }
}

TEST(Png, FailuresRaiseTheirMessagesAndNeverPassForWritten)
{
    TempDir dir;
    TBitmap b(20, 10);
    const std::string missing = dir / "no/such/folder/x.png";
    EXPECT_EQ(ErrorOf([&] { BitmapToPng(missing, b); }), "Error Opening File " + missing + "!");
    // A full disk, whether noticed while writing or only when the file is closed.
    EXPECT_EQ(ErrorOf([&] { BitmapToPng("/dev/full", b); }), "Error Writing PNG File!");
    TBitmap empty;
    EXPECT_EQ(ErrorOf([&] { BitmapToPng(dir / "empty.png", empty); }), "Error Writing PNG File!");
}

TEST(SaveDiagramImage, PngGoesThroughTmpAndReplacesTheOldFile)
{
    TempDir dir;
    Picture p;
    const std::string base = dir / "diagram";
    WriteBytes(base + ".png", "old");
    SaveDiagramImage(p.image, base, 2);
    EXPECT_FALSE(std::filesystem::exists(base + ".png.tmp"));
    const PngFile f = ReadPng(base + ".png");
    ASSERT_EQ(f.width, 642u);
    ASSERT_EQ(f.height, 376u);
    // The picture went through the 8-bit palette; the diagram's colours came through intact.
    TBitmap reduced;
    reduced.Assign(p.image.Picture);
    reduced.SetPixelFormat(pf8bit);
    for (int y = 0; y < 376; ++y)
        for (int x = 0; x < 642; ++x) {
            const png_byte* px = &f.rows[std::size_t(y)][std::size_t(3 * x)];
            ASSERT_EQ(RGBColor(px[0], px[1], px[2]), reduced.Pixel(x, y)) << x << "," << y;
        }
    EXPECT_EQ(RGBColor(f.rows[0][0], f.rows[0][1], f.rows[0][2]), 0x0000FFu);
    EXPECT_EQ(RGBColor(f.rows[5][3 * 44], f.rows[5][3 * 44 + 1], f.rows[5][3 * 44 + 2]), p.image.Picture.Pixel(44, 5));

    // An unwritable target folder: the error comes through and nothing is left behind.
    const std::string blocked = dir / "none/diagram";
    EXPECT_EQ(ErrorOf([&] { SaveDiagramImage(p.image, blocked, 2); }), "Error Opening File " + blocked + ".png.tmp!");
}

TEST(SaveDiagramImage, JpegAtQualitySixtyAndItsErrors)
{
    TempDir dir;
    Picture p;
    SaveDiagramImage(p.image, dir / "diagram", 1);
    const JpegFile f = ReadJpeg(dir / "diagram.jpg");
    ASSERT_EQ(f.width, 642);
    ASSERT_EQ(f.height, 376);
    ASSERT_EQ(f.components, 3);
    // Quality 60 scales the standard luminance table by 80 %: its DC entry 16 becomes 13.
    EXPECT_EQ(f.dcQuant, 13);
    long long error = 0;
    for (int y = 0; y < 376; ++y)
        for (int x = 0; x < 642; ++x) {
            const TColor c = p.image.Picture.Pixel(x, y);
            const unsigned char* px = &f.pixels[(std::size_t(y) * 642 + std::size_t(x)) * 3];
            error += std::abs(px[0] - GetRValue(c)) + std::abs(px[1] - GetGValue(c)) + std::abs(px[2] - GetBValue(c));
        }
    EXPECT_LT(double(error) / (642.0 * 376 * 3), 4.0);

    TBmpToJpeg jpeg;
    jpeg.Image = &p.image;
    jpeg.JpegFile = dir / "none/x.jpg";
    EXPECT_EQ(ErrorOf([&] { jpeg.Convert(); }), "Datei " + jpeg.JpegFile + " kann nicht erstellt werden.");
    jpeg.JpegFile = "/dev/full";
    EXPECT_NE(ErrorOf([&] { jpeg.Convert(); }), "");
    TImage empty;
    jpeg.Image = &empty;
    jpeg.JpegFile = dir / "empty.jpg";
    EXPECT_EQ(ErrorOf([&] { jpeg.Convert(); }).rfind("JPEG-Fehler #", 0), 0u);
}

TEST(SaveDiagramImage, BmpWithEightBitsAndPalette)
{
    TempDir dir;
    Picture p;
    SaveDiagramImage(p.image, dir / "diagram", 0);
    const std::string b = ReadBytes(dir / "diagram.bmp");
    ASSERT_GE(b.size(), 54u + 1024u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 18), 642u);
    EXPECT_EQ(U32(b, 22), 376u);  // bottom-up rows
    EXPECT_EQ(std::uint8_t(b[28]), 8);
    EXPECT_EQ(U32(b, 46), 256u);
    const std::size_t offset = U32(b, 10), stride = 644;
    ASSERT_EQ(offset, 54u + 1024u);
    ASSERT_EQ(b.size(), offset + stride * 376);
    auto colour = [&](int x, int y) {
        const std::size_t entry = 54 + 4 * std::uint8_t(b[offset + stride * std::size_t(375 - y) + std::size_t(x)]);
        return RGBColor(std::uint8_t(b[entry + 2]), std::uint8_t(b[entry + 1]), std::uint8_t(b[entry]));
    };
    TBitmap reduced;
    reduced.Assign(p.image.Picture);
    reduced.SetPixelFormat(pf8bit);
    for (int y = 0; y < 376; ++y)
        for (int x = 0; x < 642; ++x) ASSERT_EQ(colour(x, y), reduced.Pixel(x, y)) << x << "," << y;
    EXPECT_EQ(colour(0, 0), 0x0000FFu);
    EXPECT_EQ(colour(641, 375), 0xFF0000u);
    EXPECT_EQ(colour(44, 28), RGBColor(64, 64, 64));

    // Formats other than 0, 1 and 2 write nothing.
    std::filesystem::remove(dir / "diagram.bmp");
    SaveDiagramImage(p.image, dir / "diagram", 3);
    SaveDiagramImage(p.image, dir / "diagram", -1);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}
