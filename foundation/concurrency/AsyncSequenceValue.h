#pragma once

#include "AsyncSequenceSink.h"
#include "AsyncSequenceValueSignals.h"

#include <QCoreApplication>
#include <QPointer>

#include <optional>
#include <utility>

namespace kestrova {

// What a view shows of a sequence: its latest element, or `defaultValue` before the first one. Made and read
// on the main thread; each element is written there (a direct call when the sequence delivers on the main
// thread, else a queued one that is dropped when this object is gone) and announced with `valueChanged()`.
// The sequence is consumed for as long as this object lives.
template <typename T> class AsyncSequenceValue final : public AsyncSequenceValueSignals {
public:
    template <AsyncSequence Sequence>
    requires std::same_as<typename Sequence::Element, T> AsyncSequenceValue(Sequence sequence, T defaultValue,
                                                                            QObject *parent = nullptr)
        : AsyncSequenceValueSignals(parent)
        , m_defaultValue(std::move(defaultValue)) {
        m_subscription =
            sink(std::move(sequence), [self = QPointer<AsyncSequenceValue>(this)](const T &element) {
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [self, element] {
                        if (self)
                            self->setLatest(element);
                    },
                    Qt::AutoConnection);
            });
    }
    ~AsyncSequenceValue() override { m_subscription.cancel(); }

    const T &value() const { return m_value ? *m_value : m_defaultValue; }
    const T &defaultValue() const { return m_defaultValue; }

private:
    void setLatest(const T &element) {
        m_value = element;
        Q_EMIT valueChanged();
    }

    T m_defaultValue;
    std::optional<T> m_value;
    platform::Subscription m_subscription;
};

} // namespace kestrova
