#pragma once

#include <QPainterPath>
#include <QRectF>

#include <functional>

namespace kestrova {

// One of two shapes, chosen by a flag, so that a view can switch outlines without becoming another view.
// A shape is the outline it draws in a rectangle.
struct EitherShape {
    using Shape = std::function<QPainterPath(const QRectF &rect)>;

    bool toggle = false;
    Shape a;
    Shape b;

    // The outline of `a` while `toggle` is on, else that of `b`.
    QPainterPath path(const QRectF &rect) const { return toggle ? a(rect) : b(rect); }
    // Both shapes drawn `amount` inside their rectangle; the choice is kept.
    EitherShape inset(qreal amount) const {
        const auto insetShape = [amount](Shape shape) {
            return Shape([amount, shape = std::move(shape)](const QRectF &rect) {
                return shape(rect.adjusted(amount, amount, -amount, -amount));
            });
        };
        return {toggle, insetShape(a), insetShape(b)};
    }
};

} // namespace kestrova
