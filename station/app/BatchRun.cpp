#include "station/app/BatchRun.h"

#include <filesystem>
#include <new>
#include <system_error>

#include "mox/Mm.h"
#include "station/app/StationSettings.h"
#include "station/app/WebPages.h"
#include "station/export/ImageExport.h"

namespace {

std::string OutOfMemory(ImageSize size)
{
    return "zu wenig Speicher für ein Bild von " + std::to_string(size.Width) + " x " + std::to_string(size.Height) +
           " Pixeln";
}

}  // namespace

std::string LoadDay(TMOX_Diagram& diagram, const std::string& file, bool withPreviousDay)
{
    for (int c = 1; c <= 4; ++c) diagram.DelCurve(c);
    try {
        diagram.AutoLoad(file, withPreviousDay);
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

bool MakeFolder(const std::string& dir, std::string& error, bool* created)
{
    std::error_code ec;
    const bool made = std::filesystem::create_directories(dir, ec);
    if (created) *created = made && !ec;
    if (ec && !std::filesystem::is_directory(dir)) {
        error = dir + ": " + ec.message();
        return false;
    }
    return true;
}

std::string DrawAndSave(TMOX_Diagram& diagram, ImageSize size, const std::string& base, int format)
{
    TImage* const shown = diagram.MOX_Image;
    try {
        TImage picture(size.Width, size.Height);
        diagram.MOX_Image = &picture;
        diagram.ShowMagnetogramm();
        diagram.MOX_Image = shown;
        SaveDiagramImage(picture, base, format);
    } catch (const std::bad_alloc&) {
        diagram.MOX_Image = shown;
        return OutOfMemory(size);
    } catch (const std::length_error&) {
        diagram.MOX_Image = shown;
        return OutOfMemory(size);
    } catch (const std::exception& e) {
        diagram.MOX_Image = shown;
        return e.what();
    }
    return {};
}

bool PublishDay(TMOX_Diagram& diagram, const BatchOutputs& out, Reports& reports)
{
    const std::string base = ImageBase(out.ImageDir);
    std::string error;
    bool created = false;
    if (!MakeFolder(out.ImageDir, error, &created)) {
        reports.push_back({LogLevel::Warning, "Das Bildverzeichnis fehlt: " + error, "image", true});
        return false;
    }
    if (created) {
        // A new station's own folder is made without a word; one the observer named is told.
        const bool own = out.ImageDir == DefaultImageDir();
        reports.push_back(
            {LogLevel::Info, "Das Bildverzeichnis " + out.ImageDir + " fehlte und wurde angelegt.", "", !own});
    }
    error = DrawAndSave(diagram, out.Size, base, out.Format);
    if (error.empty() && out.Preview) error = DrawAndSave(diagram, kPreviewImage, PreviewBase(base), out.Format);
    if (!error.empty()) {
        reports.push_back({LogLevel::Warning, "Das Bild wurde nicht geschrieben: " + error, "image", true});
        return false;
    }
    reports.push_back({LogLevel::Info, "", "image", false});

    // The pages are extras: a failure is told, and the upload still goes out.
    try {
        if (out.Wap && !WriteWapFiles(diagram, out.WithPreviousDay, base + ".wap"))
            reports.push_back(
                {LogLevel::Warning, "Die WAP-Dateien wurden nicht geschrieben: " + base + ".wap", "wap", true});
        else reports.push_back({LogLevel::Info, "", "wap", false});
    } catch (const std::exception& e) {
        reports.push_back(
            {LogLevel::Warning, std::string("Die WAP-Grafik wurde nicht geschrieben: ") + e.what(), "wap", true});
    }
    if (out.Html) {
        // The page is on from the start but needs the observer's templates; their absence is
        // told once, not at every batch.
        const std::string missing = MissingTemplatesMessage(out.ImageDir, MissingHtmlTemplates(out.ImageDir));
        if (!missing.empty()) reports.push_back({LogLevel::Warning, missing, "page", true});
        else if (!WriteHtmlPage(diagram, out.WithPreviousDay, out.ImageDir, base + ".htm"))
            reports.push_back({LogLevel::Warning, "Die Seite wurde nicht geschrieben: " + base + ".htm", "page", true});
        else reports.push_back({LogLevel::Info, "", "page", false});
    }
    return true;
}
