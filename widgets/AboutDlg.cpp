#include "widgets/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <cmath>

namespace {

// A quiet day with a disturbance in the afternoon, as the device records it.
QPixmap Magnetogram()
{
    QPixmap pixmap(96, 64);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.drawRect(0, 0, 95, 63);
    QPainterPath curve;
    for (int x = 4; x < 92; ++x) {
        const double storm = x > 56 && x < 76 ? 14 * std::sin((x - 56) * 0.9) : 0;
        const double y = 32 - 8 * std::sin(x / 14.0) + storm;
        x == 4 ? curve.moveTo(x, y) : curve.lineTo(x, y);
    }
    p.setPen(QPen(QColor(0, 0, 0x80), 2));
    p.drawPath(curve);
    return pixmap;
}

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent, const QString& caption, const QString& text, const QPixmap& picture)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("AboutDlg");
    setWindowTitle(caption);
    setModal(true);
    auto* image = new QLabel;
    image->setPixmap(picture.isNull() ? Magnetogram() : picture);
    image->setAlignment(Qt::AlignTop);
    auto* words = new QTextBrowser;
    words->setObjectName("AboutText");
    words->setFrameShape(QFrame::NoFrame);
    words->setOpenLinks(false);
    words->setHtml(text);
    words->setMinimumSize(340, 170);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OKButton");
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(image, 0, Qt::AlignTop);
    row->addWidget(words, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
