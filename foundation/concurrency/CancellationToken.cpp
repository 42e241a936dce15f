#include "CancellationToken.h"

#include "foundation/errors/Error.h"

namespace kestrova {

void CancellationToken::cancel() const {
    std::map<CallbackId, std::function<void()>> callbacks;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->cancelled)
            return;
        m_state->cancelled = true;
        callbacks.swap(m_state->callbacks);
    }
    // Outside the lock: a callback may check the token or register another one.
    for (const auto &[id, callback] : callbacks)
        callback();
}

bool CancellationToken::isCancelled() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->cancelled;
}

void CancellationToken::checkCancellation() const {
    if (isCancelled())
        throw CancellationError();
}

CancellationToken::CallbackId CancellationToken::onCancel(std::function<void()> callback) const {
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->cancelled) {
            const CallbackId id = m_state->nextId++;
            m_state->callbacks.emplace(id, std::move(callback));
            return id;
        }
    }
    callback();
    return 0;
}

void CancellationToken::removeOnCancel(CallbackId id) const {
    std::function<void()> removed;
    std::lock_guard lock(m_state->mutex);
    if (const auto found = m_state->callbacks.find(id); found != m_state->callbacks.end()) {
        // Destroyed after the lock is released: what the callback captured may be the last owner of
        // something whose destruction takes locks of its own.
        removed = std::move(found->second);
        m_state->callbacks.erase(found);
    }
}

} // namespace kestrova
