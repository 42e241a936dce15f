#pragma once

#include "DefaultsObservation.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kestrova::Defaults {

// The new values of one key, in order, as an unbounded buffer between the thread that writes the key and
// the thread that consumes the values. Every notification yields a value, equal to the last one or not.
// Ending the stream (finish(), or freeing it) invalidates the key's observation.
template <typename Value> class UpdateStream : public std::enable_shared_from_this<UpdateStream<Value>> {
public:
    ~UpdateStream() { finish(); }

    // Hands each buffered and future value to `consumer` on the thread of `context`, in order, on later
    // turns of that thread's event loop, until the stream ends or `context` goes away.
    void forEach(QObject *context, std::function<void(const Value &)> consumer) {
        {
            std::lock_guard lock(m_mutex);
            m_context = context;
            m_consumer = std::move(consumer);
        }
        scheduleDrain();
    }

    // The oldest value not yet taken, if any (for consumers that poll).
    std::optional<Value> takeNext() {
        std::lock_guard lock(m_mutex);
        if (m_buffer.empty())
            return std::nullopt;
        Value value = std::move(m_buffer.front());
        m_buffer.pop_front();
        return value;
    }

    void finish() {
        std::shared_ptr<UserDefaultsKeyObservation> observation;
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
            m_consumer = nullptr;
            observation = std::move(m_observation);
        }
        if (observation)
            observation->invalidate();
    }

    bool isFinished() const {
        std::lock_guard lock(m_mutex);
        return m_finished;
    }

    // Builds the stream for `key`; with `initial`, the current value (or the default) is its first value.
    static std::shared_ptr<UpdateStream> make(const Key<Value> &key, bool initial) {
        auto stream = std::shared_ptr<UpdateStream>(new UpdateStream());
        std::weak_ptr<UpdateStream> weakStream = stream;
        auto observation = std::make_shared<UserDefaultsKeyObservation>(
            key.suite(), key.name(),
            [weakStream, defaultValue = key.defaultValue()](const BaseChange &change) {
                if (auto target = weakStream.lock())
                    target->yield(typedValue(change.newValue, defaultValue));
            });
        stream->m_observation = observation;
        observation->start(initial ? ObservationOptions{ObservationOption::initial} : ObservationOptions{});
        return stream;
    }

private:
    UpdateStream() = default;

    void yield(Value value) {
        {
            std::lock_guard lock(m_mutex);
            if (m_finished)
                return;
            m_buffer.push_back(std::move(value));
        }
        scheduleDrain();
    }

    void scheduleDrain() {
        QPointer<QObject> context;
        {
            std::lock_guard lock(m_mutex);
            if (!m_consumer || !m_context || m_buffer.empty() || m_drainScheduled)
                return;
            m_drainScheduled = true;
            context = m_context;
        }
        std::weak_ptr<UpdateStream> weakSelf = this->weak_from_this();
        QMetaObject::invokeMethod(
            context.data(),
            [weakSelf] {
                if (auto self = weakSelf.lock())
                    self->drain();
            },
            Qt::QueuedConnection);
    }

    void drain() {
        for (;;) {
            std::function<void(const Value &)> consumer;
            Value value;
            {
                std::lock_guard lock(m_mutex);
                if (m_buffer.empty() || !m_consumer || !m_context) {
                    m_drainScheduled = false;
                    return;
                }
                consumer = m_consumer;
                value = std::move(m_buffer.front());
                m_buffer.pop_front();
            }
            consumer(value);
        }
    }

    mutable std::mutex m_mutex;
    std::deque<Value> m_buffer;
    std::function<void(const Value &)> m_consumer;
    QPointer<QObject> m_context;
    std::shared_ptr<UserDefaultsKeyObservation> m_observation;
    bool m_drainScheduled = false;
    bool m_finished = false;
};

template <typename Value>
std::shared_ptr<UpdateStream<Value>> updates(const Key<Value> &key, bool initial = true) {
    return UpdateStream<Value>::make(key, initial);
}

} // namespace kestrova::Defaults
