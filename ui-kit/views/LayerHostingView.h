#pragma once

#include <QWidget>

#include <functional>

namespace kestrova {

// A view that shows one drawing layer over its whole area. Setting a layer turns drawing on; setting none
// turns it off and leaves the view transparent.
class LayerHostingView : public QWidget {
    Q_OBJECT
public:
    using Layer = std::function<void(QPainter &painter, const QRect &bounds)>;

    explicit LayerHostingView(QWidget *parent = nullptr);

    bool hasLayer() const { return static_cast<bool>(m_layer); }
    void setLayer(Layer layer);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Layer m_layer;
};

// A view whose coordinates start at the top left and grow downwards: every view here already is one.
using FlippedView = QWidget;

} // namespace kestrova
