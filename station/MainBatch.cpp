// The station window's image commands: the one-shot image run, saving and copying the diagram.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>

#include "lines/StationLog.h"
#include "station/MainWindow.h"
#include "station/app/OneShotImage.h"
#include "station/export/ImageExport.h"
#include "widgets/DiagramView.h"
#include "widgets/WaitCursor.h"

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
    QApplication::exit(
        RunOneShotImage(Diagram, iniFile, settings.BatchVortag, args[0].toStdString(), size, stdout, stderr));
}

void TMain::DateiMenu_SaveBitMapClick()
{
    const QString name = QFileDialog::getSaveFileName(this, "Diagramm speichern", QString(),
                                                      "PNG (*.png);;JPEG (*.jpg);;Bitmap (*.bmp)");
    if (name.isEmpty()) return;
    const std::string file = name.toStdString();
    const int format = FormatOfExtension(file);
    if (format < 0) {
        QMessageBox::warning(this, "MOX_View", "Nichts gespeichert: die Endung muss .png, .jpg oder .bmp lauten.");
        return;
    }
    try {
        WaitCursor busy;
        SaveDiagramImage(image->Image, file.substr(0, file.size() - 4), format);
    } catch (const std::exception& e) {
        QMessageBox::critical(this, "MOX_View", e.what());
        return;
    }
    repaint();
}

void TMain::EditMenu_KopierenClick()
{
    const TBitmap& pic = image->Image.Picture;
    if (pic.Width() <= 0 || pic.Height() <= 0) return;
    const QImage view(reinterpret_cast<const uchar*>(pic.ScanLine(0)), pic.Width(), pic.Height(), pic.BytesPerLine(),
                      QImage::Format_RGB32);
    QApplication::clipboard()->setImage(view.copy());
}
