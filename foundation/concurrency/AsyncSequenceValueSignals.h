#pragma once

#include <QObject>

namespace kestrova {

// The change signal of AsyncSequenceValue, which as a template cannot declare signals itself. Kept apart from
// it because moc cannot read the headers it includes.
class AsyncSequenceValueSignals : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~AsyncSequenceValueSignals() override;
Q_SIGNALS:
    void valueChanged();
};

} // namespace kestrova
