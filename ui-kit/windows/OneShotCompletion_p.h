#pragma once

#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTask>
#include <QObject>

class QAbstractAnimation;

namespace kestrova {

// A one-shot "it is over" that a coroutine can wait on, fired at most once. Lives in the waiting coroutine's
// frame, so nothing else can delete what is being waited on.
class OneShotCompletion final : public QObject {
    Q_OBJECT
public:
    bool hasFired() const { return m_fired; }
    void fire() {
        if (m_fired)
            return;
        m_fired = true;
        Q_EMIT fired();
    }

    QCoro::Task<> wait() {
        if (!m_fired)
            co_await qCoro(this, &OneShotCompletion::fired);
    }

Q_SIGNALS:
    void fired();

private:
    bool m_fired = false;
};

// Starts `animation` (deleted when it stops) and resumes when it has finished or has been destroyed with
// the window it belongs to.
QCoro::Task<> runAnimation(QAbstractAnimation *animation);

} // namespace kestrova
