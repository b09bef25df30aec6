// The diagram picture as an image file in one of the three formats the station offers.
#include <cerrno>
#include <cstring>

#include "mox/rtl/AtomicFile.h"
#include "station/export/BmpToJpg.h"
#include "station/export/ImageExport.h"

namespace {

// The picture reduced to the 8-bit palette, as BMP and PNG files hold it.
void Reduce(const TImage& image, TBitmap& reduced)
{
    reduced.Assign(image.Picture);
    reduced.SetPixelFormat(pf8bit);
}

}  // namespace

std::string DiagramImageBytes(const TImage& Image, int format)
{
    TBitmap reduced;
    switch (format) {
    case 0: Reduce(Image, reduced); return BmpBytes(reduced);
    case 1: return JpegBytes(Image.Picture, 60);
    case 2: Reduce(Image, reduced); return PngBytes(reduced);
    default: return {};
    }
}

void SaveDiagramImage(const TImage& Image, const std::string& base, int format)
{
    const char* const extensions[] = {".bmp", ".jpg", ".png"};
    if (format < 0 || format > 2) return;
    const std::string target = base + extensions[format];
    const std::string bytes = DiagramImageBytes(Image, format);
    // Through a temporary that is put in place in one step, so a web server that serves the
    // folder never hands out half a picture; a failed write leaves the old picture in place.
    const std::string cannot = "Datei " + target + " kann nicht geschrieben werden.";
    AtomicFile file;
    if (!file.Open(target))
        throw EImageWriteError(format == 2 ? "Error Opening File " + file.TempPath() + "!" : cannot);
    if (!file.Write(bytes) || !file.Commit())
        throw EImageWriteError((format == 2 ? std::string("Error Writing PNG File!") : cannot) + " (" +
                               std::strerror(errno) + ")");
}
