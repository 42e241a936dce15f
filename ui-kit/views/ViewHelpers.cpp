#include "ViewHelpers.h"

#include "ui-kit/windows/WindowHelpers.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QTimer>
#include <QPropertyAnimation>
#include <QVariant>
#include <QWidget>

namespace kestrova {

namespace {

constexpr char kShakeOrigin[] = "kestrova_shakeOrigin";
constexpr char kShakesRunning[] = "kestrova_shakesRunning";

} // namespace

void constrainEdges(QWidget *view, QWidget *container, const QMargins &insets) {
    auto *layout = qobject_cast<QGridLayout *>(container->layout());
    if (!layout) {
        delete container->layout();
        layout = new QGridLayout(container);
        layout->setSpacing(0);
    }
    layout->setContentsMargins(insets);
    layout->addWidget(view, 0, 0);
}

void constrainSize(QWidget *view, int width, int height) {
    view->setFixedSize(width, height);
}

void shake(QWidget *view, bool vertical, double duration, double amount) {
    if (shouldReduceMotion())
        return;
    // The place the view rests at: kept while a shake runs, so that a second shake does not start from a
    // displaced point and leave the view there.
    QVariant origin = view->property(kShakeOrigin);
    if (!origin.isValid()) {
        origin = view->pos();
        view->setProperty(kShakeOrigin, origin);
    }
    const QPoint rest = origin.toPoint();
    const auto offset = [&](double by) {
        return vertical ? rest + QPoint(0, qRound(by)) : rest + QPoint(qRound(by), 0);
    };
    view->setProperty(kShakesRunning, view->property(kShakesRunning).toInt() + 1);
    auto *animation = new QPropertyAnimation(view, "pos", view);
    animation->setDuration(int(duration * 1000 * windowAnimationTimeScale()));
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(rest);
    animation->setKeyValueAt(0.2, offset(-amount));
    animation->setKeyValueAt(0.4, offset(amount));
    animation->setKeyValueAt(0.6, offset(-amount / 2));
    animation->setKeyValueAt(0.8, offset(amount / 2));
    animation->setEndValue(rest);
    QObject::connect(animation, &QPropertyAnimation::finished, view, [view, animation] {
        // Only the last shake of a row lets go of the resting point.
        const int running = view->property(kShakesRunning).toInt() - 1;
        view->setProperty(kShakesRunning, running);
        if (running <= 0)
            view->setProperty(kShakeOrigin, QVariant());
        animation->deleteLater();
    });
    animation->start();
}

void takeFocusSoon(QWidget *view) {
    QTimer::singleShot(0, view, [view] {
        if (view->isVisible())
            view->setFocus(Qt::OtherFocusReason);
    });
}

void writeEditsTo(QLineEdit *field, const platform::Binding<QString> &binding) {
    QObject::connect(field, &QLineEdit::textChanged, field, [binding](const QString &value) {
        if (value != binding.get())
            binding.set(value);
    });
}

void showBoundText(QLineEdit *field, const platform::Binding<QString> &binding) {
    if (const QString bound = binding.get(); bound != field->text())
        field->setText(bound);
}

} // namespace kestrova
