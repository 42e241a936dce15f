#pragma once

#include "foundation/errors/Error.h"
#include "platform/observation/Binding.h"

#include <QCoro/QCoroTask>
#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QLabel;

// Small pieces that views compose: a content rebuilt only when its value changes, one shared width for
// several views, a task whose failure lands in a binding, and one-line conveniences.
namespace kestrova {

// Holds a content view made from a value and makes it again only when update() brings a value that differs
// from the last one: a row whose value stays equal keeps its widgets (and their state) through updates.
template <typename Value> class EquatableView final : public QWidget {
public:
    using Content = std::function<QWidget *(const Value &value)>;

    EquatableView(Content content, Value value, QWidget *parent = nullptr)
        : QWidget(parent)
        , m_content(std::move(content)) {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        rebuild(std::move(value));
    }

    // Answers whether the content was made again.
    bool update(Value value) {
        if (value == m_value)
            return false;
        rebuild(std::move(value));
        return true;
    }
    const Value &value() const { return m_value; }
    QWidget *content() const { return m_view; }

private:
    void rebuild(Value value) {
        m_value = std::move(value);
        delete m_view;
        m_view = m_content(m_value);
        layout()->addWidget(m_view);
    }

    Content m_content;
    Value m_value{};
    QPointer<QWidget> m_view;
};

// Gives every view added to it the width of the widest of them, through a shared width binding: each view
// reports its own natural width when its size changes, the binding keeps the largest reported (it never
// shrinks while it lives), and every view is given at least that width. A binding that starts unset or at
// 0 leaves the views at their natural widths until the first report.
class EqualWidthWithBinding final : public QObject {
    Q_OBJECT
public:
    explicit EqualWidthWithBinding(platform::Binding<std::optional<double>> width, QObject *parent = nullptr);

    // `alignment`: where the view's content sits inside the wider frame (for a label).
    void add(QWidget *view, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void report(QWidget *view);
    void applyWidth();

    platform::Binding<std::optional<double>> m_width;
    std::vector<QPointer<QWidget>> m_views;
};

// Runs `task` and stores its error into `error` when it throws one, except a cancellation, which is
// dropped. The task runs on; its owner keeps `context` alive for as long as the error may be stored.
void runStoringError(QCoro::Task<> task, platform::Binding<std::optional<Error>> error, QObject *context);

// Fills the view's background with `color`; none leaves the background to the window.
void setOptionalBackground(QWidget *view, const std::optional<QColor> &color);

// A label showing the text as it is, or none for no text.
QLabel *makeOptionalLabel(const std::optional<QString> &text, QWidget *parent = nullptr);

} // namespace kestrova
