#include "station/app/BatchRun.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <system_error>

#include "mox/Mm.h"
#include "mox/RawLog.h"
#include "mox/rtl/AtomicFile.h"
#include "mox/rtl/PendingFiles.h"
#include "station/app/BatchFiles.h"
#include "station/app/StationSettings.h"
#include "station/app/WebPages.h"
#include "station/export/ImageExport.h"

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

std::string LoadSnapshot(TMOX_Diagram& diagram, const std::string& snapshot, bool withPreviousDay)
{
    for (int c = 1; c <= 4; ++c) diagram.DelCurve(c);
    try {
        PendingFiles converted;
        RawLogOptions options;
        options.pending = &converted;
        diagram.Convert(snapshot, options);
        BatchFiles files;
        for (std::unique_ptr<AtomicFile>& file : converted.Release()) files.Stage(std::move(file));
        for (const BatchFiles::Failure& f : files.Publish())
            return "Datei kann nicht geschrieben werden: " + f.path + ": " + f.reason;
        // The day file is up to date now: loading it converts nothing.
        const std::size_t dot = snapshot.rfind('.');
        diagram.AutoLoad(dot == std::string::npos ? snapshot : snapshot.substr(0, dot) + ".mox", withPreviousDay);
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

namespace {

std::string OutOfMemory(ImageSize size)
{
    return "zu wenig Speicher für ein Bild von " + std::to_string(size.Width) + " x " + std::to_string(size.Height) +
           " Pixeln";
}

// Draws the diagram at `size` on a picture of its own and hands the picture to `use`; the
// diagram keeps drawing where it drew before. The error, empty on success.
std::string Draw(TMOX_Diagram& diagram, ImageSize size, const std::function<void(const TImage&)>& use)
{
    TImage* const shown = diagram.MOX_Image;
    try {
        TImage picture(size.Width, size.Height);
        diagram.MOX_Image = &picture;
        diagram.ShowMagnetogramm();
        diagram.MOX_Image = shown;
        use(picture);
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

// The picture as base plus the format's extension, staged in `files`; the error.
std::string DrawAndStage(TMOX_Diagram& diagram, ImageSize size, const std::string& base, int format, BatchFiles& files)
{
    const std::string extension = ImageExtension(format);
    std::string error;
    const std::string drawn = Draw(diagram, size, [&](const TImage& picture) {
        const std::string bytes = DiagramImageBytes(picture, format);
        const std::string target = base + extension;
        if (!extension.empty() && !files.Stage(target, bytes))
            error = AtomicFile::TemporaryName(target) + ": " + std::strerror(errno);
    });
    return drawn.empty() ? error : drawn;
}

}  // namespace

std::string DrawAndSave(TMOX_Diagram& diagram, ImageSize size, const std::string& base, int format)
{
    return Draw(diagram, size, [&](const TImage& picture) { SaveDiagramImage(picture, base, format); });
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
    BatchFiles files;
    const std::string preview = PreviewBase(base) + ImageExtension(out.Format);
    error = DrawAndStage(diagram, out.Size, base, out.Format, files);
    if (error.empty() && out.Preview)
        error = DrawAndStage(diagram, kPreviewImage, PreviewBase(base), out.Format, files);
    if (!error.empty()) {
        // The standard picture goes out even when its preview failed, as it always did.
        files.Publish();
        reports.push_back({LogLevel::Warning, "Das Bild wurde nicht geschrieben: " + error, "image", true});
        return false;
    }

    // The pages are extras: a failure is told, and the upload still goes out.
    std::string wapProblem, pageProblem;
    const std::string wapGraph = base + "_wap.png";
    try {
        if (out.Wap && !WriteWapFiles(diagram, out.WithPreviousDay, base + ".wap", files))
            wapProblem = "Die WAP-Dateien wurden nicht geschrieben: " + base + ".wap";
    } catch (const std::exception& e) {
        wapProblem = std::string("Die WAP-Grafik wurde nicht geschrieben: ") + e.what();
    }
    std::string missing;
    if (out.Html) {
        // The page is on from the start but needs the observer's templates; their absence is
        // told once, not at every batch.
        missing = MissingTemplatesMessage(out.ImageDir, MissingHtmlTemplates(out.ImageDir));
        if (missing.empty() && !WriteHtmlPage(diagram, out.WithPreviousDay, out.ImageDir, base + ".htm", files))
            pageProblem = "Die Seite wurde nicht geschrieben: " + base + ".htm";
    }

    bool imageWritten = true;
    for (const BatchFiles::Failure& f : files.Publish()) {
        const std::string what = f.path + ": " + f.reason;
        if (f.path == base + ImageExtension(out.Format) || f.path == preview) {
            imageWritten = false;
            error = what;
        } else if (f.path == base + ".htm") {
            pageProblem = "Die Seite wurde nicht geschrieben: " + what;
        } else if (wapProblem.empty()) {
            wapProblem = (f.path == wapGraph ? "Die WAP-Grafik wurde nicht geschrieben: "
                                             : "Die WAP-Dateien wurden nicht geschrieben: ") +
                         what;
        }
    }
    if (imageWritten) reports.push_back({LogLevel::Info, "", "image", false});
    else reports.push_back({LogLevel::Warning, "Das Bild wurde nicht geschrieben: " + error, "image", true});
    if (wapProblem.empty()) reports.push_back({LogLevel::Info, "", "wap", false});
    else reports.push_back({LogLevel::Warning, wapProblem, "wap", true});
    if (!missing.empty()) reports.push_back({LogLevel::Warning, missing, "page", true});
    else if (out.Html && pageProblem.empty()) reports.push_back({LogLevel::Info, "", "page", false});
    else if (out.Html) reports.push_back({LogLevel::Warning, pageProblem, "page", true});
    return imageWritten;
}
