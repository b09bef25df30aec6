#pragma once
// Where a colour stands in a picture of a window, to tell whether a colour mark lines up with
// the control it belongs to.
#include <QImage>
#include <QRect>
#include <QWidget>
#include <optional>

struct ColourSpot {
    double Row = 0;  // the middle row of the colour's pixels
    int Left = 0, Right = 0;
};

inline std::optional<ColourSpot> FindColour(const QImage& image, QRgb colour)
{
    long long rows = 0, count = 0;
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) {
                rows += y;
                ++count;
                left = std::min(left, x);
                right = std::max(right, x);
            }
    if (count == 0) return std::nullopt;
    return ColourSpot{double(rows) / double(count), left, right};
}

// A child's rectangle in the window's own coordinates.
inline QRect RectIn(const QWidget* window, const QWidget* child)
{
    return QRect(child->mapTo(window, QPoint(0, 0)), child->size());
}
