#pragma once

#include <QObject>

#include <algorithm>

namespace kestrova {

// Work that moves from 0 to its total, may be cancelled, and is finished when all units are done. Tells
// of each change of its fraction and of finishing. Main thread.
class Progress : public QObject {
    Q_OBJECT
public:
    explicit Progress(qint64 totalUnitCount = 100, QObject *parent = nullptr)
        : QObject(parent)
        , m_totalUnitCount(totalUnitCount) {}

    qint64 totalUnitCount() const { return m_totalUnitCount; }
    qint64 completedUnitCount() const { return m_completedUnitCount; }
    double fractionCompleted() const {
        return m_totalUnitCount > 0
                   ? std::clamp(double(m_completedUnitCount) / double(m_totalUnitCount), 0.0, 1.0)
                   : 0.0;
    }
    bool isCancelled() const { return m_isCancelled; }
    bool isFinished() const { return m_totalUnitCount > 0 && m_completedUnitCount >= m_totalUnitCount; }

    void setCompletedUnitCount(qint64 count) {
        if (count == m_completedUnitCount)
            return;
        const bool wasFinished = isFinished();
        m_completedUnitCount = count;
        Q_EMIT fractionCompletedChanged();
        if (wasFinished != isFinished())
            Q_EMIT finishedChanged();
    }
    void cancel() { m_isCancelled = true; }

Q_SIGNALS:
    void fractionCompletedChanged();
    void finishedChanged();

private:
    qint64 m_totalUnitCount;
    qint64 m_completedUnitCount = 0;
    bool m_isCancelled = false;
};

} // namespace kestrova
