// JPEG output over libjpeg; its errors come back through a jump out of the library and leave
// as EImageWriteError, with the file closed.
#include "station/export/BmpToJpg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "station/export/ImageExport.h"

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1);
}

// Messages of the library are not shown; the error number is.
void SilentMessage(j_common_ptr) {}

// Plain C frame between setjmp and the library: nothing here needs a destructor. The file
// goes into a buffer of the library's, which the caller frees whatever the outcome.
int Encode(unsigned char** buffer, unsigned long* size, const TBitmap& bitmap, int quality, unsigned char* row)
{
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = ErrorExit;
    err.base.output_message = SilentMessage;
    if (setjmp(err.escape)) {
        const int code = err.base.msg_code;
        jpeg_destroy_compress(&cinfo);
        return code == 0 ? -1 : code;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = JDIMENSION(bitmap.Width());
    cinfo.image_height = JDIMENSION(bitmap.Height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint32_t* src = bitmap.ScanLine(int(cinfo.next_scanline));
        for (int x = 0; x < bitmap.Width(); ++x) {
            row[3 * x] = (src[x] >> 16) & 0xFF;
            row[3 * x + 1] = (src[x] >> 8) & 0xFF;
            row[3 * x + 2] = src[x] & 0xFF;
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}

}  // namespace

std::string JpegBytes(const TBitmap& bitmap, int quality)
{
    std::vector<unsigned char> row(std::size_t(std::max(bitmap.Width(), 1)) * 3);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int code = Encode(&buffer, &size, bitmap, std::clamp(quality, 1, 100), row.data());
    std::string bytes;
    if (code == 0 && buffer) bytes.assign(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    if (code != 0) throw EImageWriteError("JPEG-Fehler #" + std::to_string(code));
    return bytes;
}

void TBmpToJpeg::Convert()
{
    if (!Image) return;
    std::FILE* file = std::fopen(JpegFile.c_str(), "wb");
    if (!file) throw EImageWriteError("Datei " + JpegFile + " kann nicht erstellt werden.");
    std::string bytes;
    try {
        bytes = JpegBytes(Image->Picture, Quality);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) throw EImageWriteError("Fehler beim Schreiben der Datei " + JpegFile + ".");
}
