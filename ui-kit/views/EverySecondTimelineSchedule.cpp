#include "EverySecondTimelineSchedule.h"

#include <QTimer>

namespace kestrova {

namespace {

int intervalSeconds(EverySecondTimelineSchedule::Mode mode) {
    return mode == EverySecondTimelineSchedule::Mode::lowFrequency
               ? EverySecondTimelineSchedule::kLowFrequencyInterval
               : EverySecondTimelineSchedule::kNormalInterval;
}

} // namespace

std::vector<QDateTime> EverySecondTimelineSchedule::entries(const QDateTime &from, Mode mode, int count,
                                                            const QDateTime &now) {
    const qint64 interval = qint64(intervalSeconds(mode)) * 1000;
    qint64 steps = 0;
    // The first entry at or after `from` on the grid that starts at `now`.
    if (from > now)
        steps = (now.msecsTo(from) + interval - 1) / interval;
    std::vector<QDateTime> dates;
    for (int index = 0; index < count; ++index)
        dates.push_back(now.addMSecs((steps + index) * interval));
    return dates;
}

EverySecondTimelineSchedule::EverySecondTimelineSchedule(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this)) {
    m_timer->setInterval(intervalSeconds(m_mode) * 1000);
    connect(m_timer, &QTimer::timeout, this, [this] { Q_EMIT tick(QDateTime::currentDateTime()); });
    m_timer->start();
}

void EverySecondTimelineSchedule::setMode(Mode mode) {
    m_mode = mode;
    m_timer->setInterval(intervalSeconds(mode) * 1000);
}

void EverySecondTimelineSchedule::stop() {
    m_timer->stop();
}

bool EverySecondTimelineSchedule::isActive() const {
    return m_timer->isActive();
}

} // namespace kestrova
