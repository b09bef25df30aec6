#include "paramtool/AboutDlg.h"

#include "mox/rtl/CommandLine.h"
#include "paramtool/Main.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

// A small magnetogram: a quiet day with one disturbance, as the device records it.
QPixmap Picture()
{
    QPixmap pixmap(96, 96);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 1));
    p.drawRect(4, 4, 87, 87);
    for (int x = 4; x < 92; x += 22) p.drawLine(x, 88, x, 91);
    QPainterPath curve;
    for (int x = 0; x <= 84; ++x) {
        const double y =
            48 - 14 * std::sin(x / 84.0 * 2 * M_PI - 1.2) + (x > 52 && x < 62 ? 18 * std::sin((x - 52) * 0.9) : 0);
        x == 0 ? curve.moveTo(6 + x, y) : curve.lineTo(6 + x, y);
    }
    p.setPen(QPen(QColor(0, 0, 200), 2));
    p.drawPath(curve);
    return pixmap;
}

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutDlg");
    setWindowTitle(MoxIniTitle);
    auto* picture = new QLabel;
    picture->setPixmap(Picture());
    picture->setAlignment(Qt::AlignTop);
    auto* text = new QPlainTextEdit;
    text->setReadOnly(true);
    text->setPlainText(QString("MOX_Ini %1 stellt das MOX-Magnetometer ein: Datum und Uhrzeit der Geräteuhr und den "
                               "Parametersatz mit Ausgabemodus, Datenintervall, Analogausgängen, K-Grenzen, "
                               "Alarmschwelle und Sensorkalibrierung.\n\n"
                               "Parametersätze können vom Gerät gelesen, zum Gerät gesendet und als Dateien (*.moi) "
                               "gespeichert werden.\n\n"
                               "MOX ist eine kleine geomagnetische Station: das Magnetometer sendet seine Messwerte "
                               "über die RS-232-Schnittstelle an das Stationsprogramm MOX_View, das daraus "
                               "Tagesmagnetogramme und den K-Index erstellt.")
                           .arg(MoxVersion()));
    text->setMinimumSize(320, 160);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OKButton");
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
