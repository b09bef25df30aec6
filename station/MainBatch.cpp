// The station's batch runs and image commands: the periodic batch of the logging station,
// the one-shot image run, saving and copying the diagram.
#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "mox/rtl/SysUtils.h"
#include "station/DiagramView.h"
#include "station/MainWindow.h"
#include "station/StationMqtt.h"
#include "station/UploadRunner.h"
#include "station/app/OneShotImage.h"
#include "station/app/SkippedCorrections.h"
#include "station/app/StationLog.h"
#include "station/app/WebPages.h"
#include "station/export/ImageExport.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string OutOfMemory(const ImageSize& size)
{
    return "zu wenig Speicher für ein Bild von " + std::to_string(size.Width) + " x " +
           std::to_string(size.Height) + " Pixeln";
}

bool MakeFolder(const std::string& dir, std::string& error, bool* created = nullptr)
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

}  // namespace

std::string TMain::SaveImage(const ImageSize& size, const std::string& base, int format)
{
    // Batch pictures have sizes of their own; the window keeps showing its own picture.
    // Sizing the picture may fail for memory: that costs this image, never the station.
    std::string error;
    try {
        batchImage.SetClientSize(size.Width, size.Height);
        Diagram.MOX_Image = &batchImage;
        Diagram.ShowMagnetogramm();
        Diagram.MOX_Image = &image->Image;
        SaveDiagramImage(batchImage, base, format);
    } catch (const std::bad_alloc&) {
        error = OutOfMemory(size);
    } catch (const std::length_error&) {
        error = OutOfMemory(size);
    } catch (const std::exception& e) {
        error = e.what();
    }
    Diagram.MOX_Image = &image->Image;
    // A picture that could not be sized keeps its old size; the client size follows it.
    batchImage.SetClientSize(batchImage.Picture.Width(), batchImage.Picture.Height());
    return error;
}

void TMain::Timer1Timer()
{
    if (!logger || paused || deviceLost) return;
    const std::string log = logger->LogFileName();
    if (log.empty() || !FileExists(log)) return;

    // Every line is in the file whole when it was logged, so a copy taken between two lines
    // is a clean snapshot: the port stays open and no line is lost while copying.
    logger->Sync();
    const std::string source = daySnapshot.Take(log, SnapshotName(settings.DataDir));
    if (!daySnapshot.Problem().empty()) TellOnce(Q(daySnapshot.Problem()));
    std::string error;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int c = 1; c <= 4; ++c) Diagram.DelCurve(c);
    try {
        Diagram.AutoLoad(source, settings.BatchVortag);
    } catch (const std::exception& e) {
        TellOnce(Q(std::string("Der Tag konnte nicht geladen werden: ") + e.what()));
    }
    if (Diagram.is_empty()) {
        QApplication::restoreOverrideCursor();
        return;
    }
    Diagram.bestimme_K_Wert();
    TellSkippedCorrections();
    FormResize();
    if (mqtt) mqtt->BatchDone(Diagram, settings.BatchVortag);

    const std::string imageDir = ReadImageDir(iniFile);
    const std::string base = ImageBase(imageDir);
    const ImageSize size = settings.BatchStandard ? kStandardImage
                                                  : ImageSize{settings.BatchBreite, settings.BatchHoehe};
    bool created = false;
    if (!MakeFolder(imageDir, error, &created)) {
        error = "Das Bildverzeichnis fehlt: " + error;
    } else {
        // A new station's own folder is made without a word; one the observer named is told.
        const std::string made = "Das Bildverzeichnis " + imageDir + " fehlte und wurde angelegt.";
        if (created && imageDir == DefaultImageDir()) LogMessage(LogLevel::Info, made);
        else if (created) TellOnce(Q(made), LogLevel::Info);
        error = SaveImage(size, base, ReadImageFormat(iniFile));
        if (error.empty() && settings.BatchVorschau)
            error = SaveImage(kPreviewImage, PreviewBase(base), ReadImageFormat(iniFile));
    }
    if (!error.empty()) {
        TellOnce(Q("Das Bild wurde nicht geschrieben: " + error));
    } else {
        // The pages are extras: a failure is told, and the upload still goes out.
        try {
            if (settings.BatchWAP && !WriteWapFiles(Diagram, settings.BatchVortag, base + ".wap"))
                TellOnce(Q("Die WAP-Dateien wurden nicht geschrieben: " + base + ".wap"));
            if (settings.BatchHTML) {
                // The page is on from the start but needs the observer's templates; their
                // absence is told once, not at every batch.
                const std::string missing = MissingTemplatesMessage(imageDir, MissingHtmlTemplates(imageDir));
                if (missing.empty()) WriteHtmlPage(Diagram, settings.BatchVortag, imageDir, base + ".htm");
                else if (missing != htmlTemplatesTold) TellOnce(Q(missing));
                htmlTemplatesTold = missing;
            }
        } catch (const std::exception& e) {
            TellOnce(Q(std::string("Die WAP-Grafik wurde nicht geschrieben: ") + e.what()));
        }
        ++batchCount;
        if (uploadSchedule && uploadSchedule->BatchDone() &&
            !uploads->Start(uploadSchedule->Command(), "", std::max(1, settings.FtpTimeoutSeconds) * 1000))
            TellOnce(Q("Das Upload-Kommando startet nicht: " + uploads->LastError()));
    }
    // The next run starts with the normal cursor also when this one failed.
    QApplication::restoreOverrideCursor();
}

void TMain::TellSkippedCorrections()
{
    if (const std::string skipped = SkippedCorrectionLines(Diagram); !skipped.empty()) TellOnce(Q(skipped));
}

void TMain::RunOneShot()
{
    SetApplicationTitle("MOX_View - batch");
    setWindowTitle("MOX_View - batch");
    std::vector<std::string> sizeArguments;
    for (const QString& a : args.mid(1, 2)) sizeArguments.push_back(a.toStdString());
    ImageSize size;
    std::string error;
    if (!OneShotSize(sizeArguments, {image->width(), image->height()}, size, error)) {
        LogMessage(LogLevel::Error, error);
        QApplication::exit(oneShotUsage);
        return;
    }
    QApplication::exit(RunOneShotImage(Diagram, iniFile, settings.BatchVortag,
                                       args[0].toStdString(), size, stdout, stderr));
}

void TMain::DateiMenu_SaveBitMapClick()
{
    const QString name = QFileDialog::getSaveFileName(this, "Diagramm speichern", QString(),
                                                      "PNG (*.png);;JPEG (*.jpg);;Bitmap (*.bmp)");
    if (name.isEmpty()) return;
    const std::string file = name.toStdString();
    const int format = FormatOfExtension(file);
    if (format < 0) {
        QMessageBox::warning(this, "MOX_View",
                             "Nichts gespeichert: die Endung muss .png, .jpg oder .bmp lauten.");
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        SaveDiagramImage(image->Image, file.substr(0, file.size() - 4), format);
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        QMessageBox::critical(this, "MOX_View", e.what());
        return;
    }
    QApplication::restoreOverrideCursor();
    repaint();
}

void TMain::EditMenu_KopierenClick()
{
    const TBitmap& pic = image->Image.Picture;
    if (pic.Width() <= 0 || pic.Height() <= 0) return;
    const QImage view(reinterpret_cast<const uchar*>(pic.ScanLine(0)), pic.Width(), pic.Height(),
                      pic.BytesPerLine(), QImage::Format_RGB32);
    QApplication::clipboard()->setImage(view.copy());
}
