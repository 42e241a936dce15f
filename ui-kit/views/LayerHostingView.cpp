#include "LayerHostingView.h"

#include <QPainter>

namespace kestrova {

LayerHostingView::LayerHostingView(QWidget *parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void LayerHostingView::setLayer(Layer layer) {
    m_layer = std::move(layer);
    // A view with a layer draws every pixel itself; without one it is see-through.
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    update();
}

void LayerHostingView::paintEvent(QPaintEvent *) {
    if (!m_layer)
        return;
    QPainter painter(this);
    m_layer(painter, rect());
}

} // namespace kestrova
