#pragma once
// A short line, 3 pixels wide, in a curve's colour, standing in the middle of its layout row:
// the colour dialogs and the correction dialog put one beside the button or radio item of
// each curve, so that mark and item line up whatever the font and style.
#include <QWidget>
#include <functional>

#include "mox/rtl/Types.h"

class TCurveMark : public QWidget {
public:
    explicit TCurveMark(std::function<TColor()> color, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {44, 12}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<TColor()> color;
};
