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
    text->setPlainText(
        "MOX_Browser shows two MOX day files side by side.\n\n"
        "Click a *.mox file to load it into the marked pane; a click on a pane marks it. "
        "O, F and C switch the offset filter, the noise filter and the correction file of "
        "their pane. Every minute each pane looks whether its file has changed, so the day "
        "a logging station is writing stays current.\n\n"
        "A double click opens a pane in a large window; a right click moves the curves so "
        "that they start at the clicked height.\n\n"
        "Part of the MOX geomagnetic station software.");
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
