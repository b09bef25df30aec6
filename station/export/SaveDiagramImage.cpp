// The diagram picture as an image file in one of the three formats the station offers.
#include <filesystem>
#include <system_error>

#include "station/export/BmpToJpg.h"
#include "station/export/ImageExport.h"

namespace {

// Puts a finished temporary file in place of the target in one step, so a web server that
// serves the folder never hands out half a picture.
void ReplaceWith(const std::string& tmp, const std::string& target, const std::string& error)
{
    std::error_code renamed;
    std::filesystem::rename(tmp, target, renamed);
    if (renamed) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        throw EImageWriteError(error);
    }
}

// Runs a writer on a temporary name; a failed write leaves no temporary file and the old
// picture in place.
template <typename Write>
void WriteReplacing(const std::string& tmp, const std::string& target, const std::string& error,
                    Write write)
{
    try {
        write(tmp);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        throw;
    }
    ReplaceWith(tmp, target, error);
}

}  // namespace

void SaveDiagramImage(const TImage& Image, const std::string& base, int format)
{
    switch (format) {
    case 0: {
        const std::string bmp = base + ".bmp";
        WriteReplacing(bmp + ".tmp", bmp, "Datei " + bmp + " kann nicht geschrieben werden.",
                       [&Image](const std::string& tmp) {
                           TBitmap copy;
                           copy.Assign(Image.Picture);
                           copy.SetPixelFormat(pf8bit);
                           SaveBitmapFile(tmp, copy);
                       });
        break;
    }
    case 1: {
        const std::string jpg = base + ".jpg";
        WriteReplacing(jpg + ".tmp", jpg, "Datei " + jpg + " kann nicht geschrieben werden.",
                       [&Image](const std::string& tmp) {
                           TBmpToJpeg jpeg;
                           jpeg.Quality = 60;
                           jpeg.JpegFile = tmp;
                           jpeg.Image = &Image;
                           jpeg.Convert();
                       });
        break;
    }
    case 2:
        WriteReplacing(base + ".tmp", base + ".png", "Error Writing PNG File!",
                       [&Image](const std::string& tmp) {
                           TBitmap copy;
                           copy.Assign(Image.Picture);
                           copy.SetPixelFormat(pf8bit);
                           BitmapToPng(tmp, copy);
                       });
        break;
    default: break;
    }
}
