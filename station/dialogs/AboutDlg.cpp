#include "station/dialogs/AboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <cmath>

#include "mox/rtl/CommandLine.h"

namespace {

// A small magnetogram: a quiet day with a disturbance in the afternoon.
QPixmap Picture()
{
    QPixmap pm(96, 64);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.drawRect(0, 0, 95, 63);
    p.setPen(QPen(QColor(0, 0, 0x80), 2));
    QPointF last(4, 32);
    for (int x = 5; x < 92; ++x) {
        const double storm = x > 56 && x < 76 ? 14 * std::sin((x - 56) * 0.9) : 0;
        const QPointF next(x, 32 - 8 * std::sin(x / 14.0) + storm);
        p.drawLine(last, next);
        last = next;
    }
    return pm;
}

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle("MOX_View");
    setModal(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);

    auto* picture = new QLabel;
    picture->setPixmap(Picture());

    auto* text = new QTextBrowser;
    text->setFrameShape(QFrame::NoFrame);
    text->setReadOnly(true);
    text->setOpenLinks(false);
    text->setFixedSize(340, 150);
    text->setHtml(QString("<p><b>MOX_View</b> %1 – Magnetogramme anzeigen, korrigieren und als Logging-Station "
                          "aufzeichnen.</p>"
                          "<p>Teil des Projekts <b>MOX</b>: eine kleine geomagnetische Messstation mit "
                          "Magnetometer, Aufzeichnung, K-Index und Web-Ausgabe.</p>"
                          "<p>Informationen zum Projekt stehen in der Hilfe (Menü <i>Hilfe</i>, "
                          "<i>MOX...</i> und <i>Mox_View...</i>) und in der Datei README des Programmpakets.</p>")
                      .arg(MoxVersion()));

    auto* ok = new QPushButton("OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { accept(); });

    auto* row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addWidget(text);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
