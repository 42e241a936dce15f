#pragma once

#include <coroutine>

class QObject;

namespace kestrova {

// Resumes a suspended coroutine on the thread it suspended on, from that thread's event loop: never inside
// the call that woke it, so that the waker's own frames (a lock, a signal emission, another thread) are gone
// by then. Made on the waiting thread, before it suspends; that thread needs a running event loop and must
// outlive the wait.
class ResumeContext {
public:
    ResumeContext();

    // Any thread.
    void resume(std::coroutine_handle<> handle) const;

private:
    // One per thread, living as long as the thread: nothing to free per wait, and no queued resumption is
    // dropped with its receiver while the thread runs.
    QObject *m_receiver;
};

} // namespace kestrova
