#include "ApplicationHelpers.h"

#include <QCoreApplication>
#include <QTimer>

namespace kestrova {

std::vector<QObject *> responderChain(QObject *object) {
    std::vector<QObject *> chain;
    for (; object; object = object->parent())
        chain.push_back(object);
    return chain;
}

void onDidFinishLaunching(std::function<void()> work) {
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(work));
}

} // namespace kestrova
