#include "widgets/CurveMark.h"

#include <QPainter>

#include "widgets/QtColor.h"

TCurveMark::TCurveMark(std::function<TColor()> color, QWidget* parent) : QWidget(parent), color(std::move(color))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void TCurveMark::paintEvent(QPaintEvent*)
{
    const TColor c = color();
    QPainter p(this);
    p.setPen(QPen(ToQColor(c), 3, Qt::SolidLine, Qt::FlatCap));
    const int y = height() / 2;
    p.drawLine(2, y, width() - 2, y);
}
