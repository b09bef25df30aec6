#include "widgets/DiagramView.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

DiagramView::DiagramView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(1, 1);
}

void DiagramView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TBitmap& pic = Image.Picture;
    if (pic.Width() <= 0 || pic.Height() <= 0) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    // The picture's pixels are shown as they are, without a copy.
    const QImage view(reinterpret_cast<const uchar*>(pic.ScanLine(0)), pic.Width(), pic.Height(), pic.BytesPerLine(),
                      QImage::Format_RGB32);
    painter.drawImage(0, 0, view);
    if (pic.Width() < width()) painter.fillRect(pic.Width(), 0, width() - pic.Width(), height(), Qt::white);
    if (pic.Height() < height()) painter.fillRect(0, pic.Height(), pic.Width(), height() - pic.Height(), Qt::white);
}

void DiagramView::resizeEvent(QResizeEvent*)
{
    if (OnResize) OnResize();
}

void DiagramView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (OnMouseMove) OnMouseMove(p.x(), p.y());
}

void DiagramView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (OnMouseDown) OnMouseDown(p.x(), p.y(), event->button());
}

void DiagramView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (OnDblClick) OnDblClick(p.x(), p.y());
}

void DiagramView::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }
