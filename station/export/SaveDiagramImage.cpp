// The diagram picture as an image file in one of the three formats the station offers.
#include <cerrno>
#include <cstring>

#include "mox/rtl/AtomicFile.h"
#include "station/export/BmpToJpg.h"
#include "station/export/ImageExport.h"

namespace {

// Runs a writer on the target's temporary and puts the finished file in place in one step, so
// a web server that serves the folder never hands out half a picture; a failed write leaves
// no temporary file and the old picture in place.
template <typename Write>
void WriteReplacing(const std::string& target, const std::string& openError, const std::string& error, Write write)
{
    AtomicFile file;
    if (!file.Open(target)) throw EImageWriteError(openError);
    write(file.TempPath());  // an exception leaves through the AtomicFile, which removes it
    if (!file.Commit()) throw EImageWriteError(error + " (" + std::strerror(errno) + ")");
}

}  // namespace

void SaveDiagramImage(const TImage& Image, const std::string& base, int format)
{
    switch (format) {
    case 0: {
        const std::string bmp = base + ".bmp";
        const std::string cannot = "Datei " + bmp + " kann nicht geschrieben werden.";
        WriteReplacing(bmp, cannot, cannot, [&Image](const std::string& tmp) {
            TBitmap copy;
            copy.Assign(Image.Picture);
            copy.SetPixelFormat(pf8bit);
            SaveBitmapFile(tmp, copy);
        });
        break;
    }
    case 1: {
        const std::string jpg = base + ".jpg";
        const std::string cannot = "Datei " + jpg + " kann nicht geschrieben werden.";
        WriteReplacing(jpg, cannot, cannot, [&Image](const std::string& tmp) {
            TBmpToJpeg jpeg;
            jpeg.Quality = 60;
            jpeg.JpegFile = tmp;
            jpeg.Image = &Image;
            jpeg.Convert();
        });
        break;
    }
    case 2: {
        const std::string png = base + ".png";
        WriteReplacing(png, "Error Opening File " + AtomicFile::TemporaryName(png) + "!", "Error Writing PNG File!",
                       [&Image](const std::string& tmp) {
                           TBitmap copy;
                           copy.Assign(Image.Picture);
                           copy.SetPixelFormat(pf8bit);
                           BitmapToPng(tmp, copy);
                       });
        break;
    }
    default: break;
    }
}
