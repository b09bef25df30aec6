#pragma once
// Writes the picture of an image control as a JPEG file.
#include <string>

#include "mox/rtl/Classes.h"
#include "mox/rtl/Graphics.h"

// The JPEG file of `bitmap` at `quality` (1..100). Raises EImageWriteError "JPEG-Fehler #n"
// with the JPEG library's error number.
std::string JpegBytes(const TBitmap& bitmap, int quality);

class TBmpToJpeg : public TComponent {
public:
    explicit TBmpToJpeg(TComponent* AOwner = nullptr) : TComponent(AOwner) {}

    const TImage* Image = nullptr;  // not owned
    std::string JpegFile;
    int Quality = 90;  // 1..100

    // Creates JpegFile (replacing it) from Image's picture. Raises EImageWriteError: the
    // file cannot be created, or "JPEG-Fehler #n" with the JPEG library's error number.
    // Without an image there is nothing to write and no file is touched.
    void Convert();
};
