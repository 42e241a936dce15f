#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

namespace kestrova {

// Tells when the pointer enters, moves inside and leaves a rectangle of a view (the whole view when the
// rectangle is empty), without the pointer being pressed. Follows the view until either is destroyed;
// the rectangle may change at any time.
class TrackingArea final : public QObject {
    Q_OBJECT
public:
    TrackingArea(QWidget *view, QRect rect = {}, QObject *parent = nullptr);

    QWidget *view() const { return m_view; }
    QRect rect() const { return m_rect; }
    void setRect(QRect rect) { m_rect = rect; }
    bool isInside() const { return m_isInside; }

Q_SIGNALS:
    void entered();
    void moved(QPoint position);
    void exited();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow(QPoint position);

    QPointer<QWidget> m_view;
    QRect m_rect;
    bool m_isInside = false;
};

} // namespace kestrova
