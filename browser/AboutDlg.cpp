#include "browser/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <memory>

#include "mox/Bitmaps.h"
#include "mox/rtl/CommandLine.h"

namespace {

// The logo every magnetogram carries, twice its size.
QPixmap Logo()
{
    std::unique_ptr<TBitmap> logo(MakeLogoBitmap());
    if (!logo || logo->Width() <= 0) return {};
    const QImage view(reinterpret_cast<const uchar*>(logo->ScanLine(0)), logo->Width(), logo->Height(),
                      logo->BytesPerLine(), QImage::Format_RGB32);
    return QPixmap::fromImage(view.scaled(view.size() * 2));
}

}  // namespace

TAboutDlg::TAboutDlg(const QString& caption, QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutDlg");
    setWindowTitle(caption);
    setModal(true);
    auto* picture = new QLabel;
    picture->setPixmap(Logo());
    picture->setAlignment(Qt::AlignTop);
    auto* text = new QPlainTextEdit;
    text->setReadOnly(true);
    text->setPlainText(QString("MOX_Browser %1 zeigt zwei MOX-Tagesdateien nebeneinander.\n\n"
                               "Ein Klick auf eine *.mox-Datei lädt sie in das markierte Feld; ein Klick auf ein Feld "
                               "markiert es. O, F und C schalten Offsetfilter, Rauschfilter und Korrekturdatei ihres "
                               "Feldes. Jede Minute sieht jedes Feld nach, ob sich seine Datei geändert hat; so bleibt "
                               "der Tag aktuell, den eine Station gerade schreibt.\n\n"
                               "Ein Doppelklick öffnet ein Feld in einem großen Fenster; ein Rechtsklick verschiebt "
                               "die Kurven so, dass sie an der angeklickten Höhe beginnen.\n\n"
                               "Teil der MOX-Stationssoftware für Erdmagnetfeld-Messungen.")
                           .arg(MoxVersion()));
    text->setMinimumSize(320, 180);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::hide);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}
