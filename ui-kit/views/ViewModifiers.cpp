#include "ViewModifiers.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

#include <algorithm>

namespace kestrova {

EqualWidthWithBinding::EqualWidthWithBinding(platform::Binding<std::optional<double>> width, QObject *parent)
    : QObject(parent)
    , m_width(std::move(width)) {}

void EqualWidthWithBinding::add(QWidget *view, Qt::Alignment alignment) {
    if (auto *label = qobject_cast<QLabel *>(view))
        label->setAlignment(alignment);
    m_views.emplace_back(view);
    view->installEventFilter(this);
    report(view);
}

bool EqualWidthWithBinding::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::FontChange ||
        event->type() == QEvent::Polish)
        report(static_cast<QWidget *>(watched));
    return false;
}

void EqualWidthWithBinding::report(QWidget *view) {
    const double natural = view->sizeHint().width();
    const double current = m_width.get().value_or(0);
    if (natural > current)
        m_width.set(natural);
    applyWidth();
}

void EqualWidthWithBinding::applyWidth() {
    const double width = m_width.get().value_or(0);
    if (width <= 0)
        return;
    std::erase_if(m_views, [](const QPointer<QWidget> &view) { return !view; });
    for (const auto &view : m_views)
        view->setMinimumWidth(int(width));
}

namespace {

QCoro::Task<> storingError(QCoro::Task<> task, platform::Binding<std::optional<Error>> error,
                           QPointer<QObject> context) {
    try {
        co_await std::move(task);
    } catch (const Error &thrown) {
        if (context && !thrown.isCancelled())
            error.set(thrown);
    }
}

} // namespace

void runStoringError(QCoro::Task<> task, platform::Binding<std::optional<Error>> error, QObject *context) {
    QCoro::connect(storingError(std::move(task), std::move(error), QPointer(context)), context, [] {});
}

void setOptionalBackground(QWidget *view, const std::optional<QColor> &color) {
    view->setAutoFillBackground(color.has_value());
    if (!color)
        return;
    QPalette palette = view->palette();
    palette.setColor(view->backgroundRole(), *color);
    view->setPalette(palette);
}

QLabel *makeOptionalLabel(const std::optional<QString> &text, QWidget *parent) {
    if (!text)
        return nullptr;
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(*text);
    return label;
}

} // namespace kestrova
