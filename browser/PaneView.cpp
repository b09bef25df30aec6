#include "browser/PaneView.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

PaneView::PaneView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setMinimumSize(1, 1);
}

void PaneView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const TBitmap& pic = Image.Picture;
    if (pic.Width() <= 0 || pic.Height() <= 0) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    const QImage view(reinterpret_cast<const uchar*>(pic.ScanLine(0)), pic.Width(), pic.Height(),
                      pic.BytesPerLine(), QImage::Format_RGB32);
    painter.drawImage(0, 0, view);
    if (pic.Width() < width()) painter.fillRect(pic.Width(), 0, width() - pic.Width(), height(), Qt::white);
    if (pic.Height() < height()) painter.fillRect(0, pic.Height(), pic.Width(), height() - pic.Height(), Qt::white);
}

void PaneView::resizeEvent(QResizeEvent*)
{
    if (OnResize) OnResize();
}

void PaneView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (OnMouseDown) OnMouseDown(p.x(), p.y(), event->button());
}

void PaneView::mouseDoubleClickEvent(QMouseEvent*)
{
    if (OnDblClick) OnDblClick();
}

void PaneView::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }
