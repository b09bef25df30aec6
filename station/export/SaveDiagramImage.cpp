// The diagram picture as an image file in one of the three formats the station offers.
#include <filesystem>
#include <system_error>

#include "station/export/BmpToJpg.h"
#include "station/export/ImageExport.h"

void SaveDiagramImage(const TImage& Image, const std::string& base, int format)
{
    switch (format) {
    case 0: {
        TBitmap copy;
        copy.Assign(Image.Picture);
        copy.SetPixelFormat(pf8bit);
        SaveBitmapFile(base + ".bmp", copy);
        break;
    }
    case 1: {
        TBmpToJpeg jpeg;
        jpeg.Quality = 60;
        jpeg.JpegFile = base + ".jpg";
        jpeg.Image = &Image;
        jpeg.Convert();
        break;
    }
    case 2: {
        // Written beside the target first, so a failed write never replaces a good picture.
        const std::string tmp = base + ".tmp", png = base + ".png";
        {
            TBitmap copy;
            copy.Assign(Image.Picture);
            copy.SetPixelFormat(pf8bit);
            BitmapToPng(tmp, copy);
        }
        std::error_code copied, removed;
        std::filesystem::copy_file(tmp, png, std::filesystem::copy_options::overwrite_existing, copied);
        std::filesystem::remove(tmp, removed);
        if (copied) throw EImageWriteError("Error Writing PNG File!");
        break;
    }
    default: break;
    }
}
