#include "ObservableObjects.h"

#include <QAbstractAnimation>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <cmath>

namespace kestrova {

ListenOnlyPublisherObservable::ListenOnlyPublisherObservable(const EventSource &source, QObject *parent)
    : ObservableObject(parent) {
    m_publisher = source([self = QPointer(this)] {
        // Delivered on the main loop, as a view expects; a later turn, so that an event sent while this
        // object is being built or destroyed never reaches it half-made.
        QTimer::singleShot(0, self.data(), [self] {
            if (self)
                Q_EMIT self->objectWillChange();
        });
    });
}

ListenOnlyPublisherObservable::~ListenOnlyPublisherObservable() {
    if (m_publisher)
        m_publisher();
}

ViewTimer::ViewTimer(double interval, std::optional<double> tolerance, QObject *parent)
    : ObservableObject(parent)
    , m_timer(new QTimer(this)) {
    m_timer->setInterval(int(std::lround(std::max(interval, 0.001) * 1000)));
    // A tolerance of a tenth of the interval or more lets the system bunch wake-ups; none asks for precision.
    m_timer->setTimerType(tolerance && *tolerance >= interval / 10 ? Qt::CoarseTimer : Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] {
        Q_EMIT objectWillChange();
        m_value = !m_value;
    });
    m_timer->start();
}

ViewTimer::~ViewTimer() = default;

void KvCAAnimationDelegate::observe(QAbstractAnimation *animation) {
    connect(animation, &QAbstractAnimation::stateChanged, this,
            [this, animation](QAbstractAnimation::State state, QAbstractAnimation::State old) {
                if (state == QAbstractAnimation::Running && old == QAbstractAnimation::Stopped) {
                    if (didStartHandler)
                        didStartHandler();
                } else if (state == QAbstractAnimation::Stopped && didStopHandler) {
                    const bool reachedEnd =
                        animation->loopCount() > 0 &&
                        animation->currentTime() == (animation->direction() == QAbstractAnimation::Forward
                                                         ? animation->totalDuration()
                                                         : 0);
                    didStopHandler(reachedEnd);
                }
            });
}

PowerSourceWatcher::PowerSourceWatcher(QString powerSupplyDirectory, QObject *parent)
    : QObject(parent)
    , m_directory(std::move(powerSupplyDirectory)) {}

PowerSourceWatcher::PowerSource PowerSourceWatcher::powerSource() {
    if (!m_current)
        m_current = read();
    return *m_current;
}

void PowerSourceWatcher::refresh() {
    const PowerSource source = read();
    const bool changed = m_current && *m_current != source;
    m_current = source;
    if (changed)
        Q_EMIT powerSourceChanged(source);
}

PowerSourceWatcher::PowerSource PowerSourceWatcher::read() const {
    const auto text = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.read(64)).trimmed() : QString();
    };
    bool hasBattery = false;
    bool mainsOnline = false;
    bool upsOnline = false;
    const QDir directory(m_directory);
    for (const QString &supply : directory.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString base = directory.filePath(supply) + QLatin1Char('/');
        const QString type = text(base + QStringLiteral("type"));
        const bool online = text(base + QStringLiteral("online")) == QStringLiteral("1");
        if (type == QStringLiteral("Battery") &&
            text(base + QStringLiteral("scope")) != QStringLiteral("Device"))
            hasBattery = true;
        else if (type == QStringLiteral("Mains") || type == QStringLiteral("USB"))
            mainsOnline = mainsOnline || online;
        else if (type == QStringLiteral("UPS"))
            upsOnline = upsOnline || online;
    }
    if (mainsOnline || !hasBattery)
        return upsOnline && !mainsOnline ? PowerSource::externalUPS : PowerSource::externalUnlimited;
    return PowerSource::internalBattery;
}

} // namespace kestrova
