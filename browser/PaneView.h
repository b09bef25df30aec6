#pragma once
// An image control of the browser: shows the picture a diagram draws into, without a copy,
// and reports size changes, clicks, double clicks and key presses in picture pixels.
#include <QWidget>
#include <functional>

#include "mox/rtl/Graphics.h"

class PaneView : public QWidget {
public:
    explicit PaneView(QWidget* parent = nullptr);

    TImage Image;

    std::function<void()> OnResize;
    std::function<void(int x, int y, Qt::MouseButton button)> OnMouseDown;
    std::function<void()> OnDblClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The right button moves curves here; the window's popup menu must not open over a pane.
    void contextMenuEvent(QContextMenuEvent* event) override;
};
