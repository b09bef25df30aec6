#pragma once
// The image control a diagram draws into: shows the picture without a copy and reports size
// changes and mouse actions in picture pixels. The station's main window and the browser's
// panes use it.
#include <QWidget>
#include <functional>

#include "mox/rtl/Graphics.h"

class DiagramView : public QWidget {
public:
    explicit DiagramView(QWidget* parent = nullptr);

    TImage Image;

    std::function<void()> OnResize;
    std::function<void(int x, int y)> OnMouseMove;
    std::function<void(int x, int y, Qt::MouseButton button)> OnMouseDown;
    std::function<void(int x, int y)> OnDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The right button works on the picture; no popup menu may open over it.
    void contextMenuEvent(QContextMenuEvent* event) override;
};
