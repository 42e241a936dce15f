#pragma once

#include <QDateTime>
#include <QObject>

#include <vector>

class QTimer;

namespace kestrova {

// A timeline that ticks every second, or every 30 seconds while the system asks for few updates (the
// debug log screen refreshes on it).
class EverySecondTimelineSchedule final : public QObject {
    Q_OBJECT
public:
    enum class Mode { normal, lowFrequency };

    static constexpr int kNormalInterval = 1;
    static constexpr int kLowFrequencyInterval = 30;

    // The first `count` dates of a periodic schedule that starts at `now` (not at `from`) with the mode's
    // interval, from `from` on: dates before `from` are skipped.
    static std::vector<QDateTime> entries(const QDateTime &from, Mode mode, int count,
                                          const QDateTime &now = QDateTime::currentDateTime());

    explicit EverySecondTimelineSchedule(QObject *parent = nullptr);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    // Ticking starts at construction and stops with stop() or the schedule's end.
    void stop();
    bool isActive() const;

Q_SIGNALS:
    void tick(const QDateTime &date);

private:
    Mode m_mode = Mode::normal;
    QTimer *m_timer = nullptr;
};

} // namespace kestrova
