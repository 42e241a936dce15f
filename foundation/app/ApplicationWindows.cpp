#include "ApplicationWindows.h"

#include <QGuiApplication>
#include <QWindow>

namespace kestrova {

QString applicationWindowClassName() {
    return QStringLiteral("AppKitWindow");
}

QWindow *firstWindowOfClass(const QList<QWindow *> &windows, const QString &className) {
    for (QWindow *window : windows) {
        QString name = QString::fromLatin1(window->metaObject()->className());
        name =
            name.mid(name.lastIndexOf(QStringLiteral("::")) + (name.contains(QStringLiteral("::")) ? 2 : 0));
        if (name == className)
            return window;
    }
    return nullptr;
}

QWindow *firstSwiftUIWindow() {
    return firstWindowOfClass(QGuiApplication::allWindows(), applicationWindowClassName());
}

} // namespace kestrova
