#include "SingleInstance.h"

#include "integration/ScriptingService.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>

namespace kestrova {
namespace {

constexpr auto kRelaunchVariable = "KESTROVA_RELAUNCHED_FROM";

bool ownsName(QDBusConnectionInterface &bus, const QString &name, const QString &ownName) {
    const auto owner = bus.serviceOwner(name);
    return owner.isValid() && owner.value() == ownName;
}

} // namespace

SingleInstance::Outcome SingleInstance::claim(QDBusConnection bus, const QString &name, bool isRelaunch,
                                              std::chrono::milliseconds waitLimit) {
    QDBusConnectionInterface *interface = bus.isConnected() ? bus.interface() : nullptr;
    if (!interface)
        return Outcome::primary;
    const auto reply = interface->registerService(name,
                                                  isRelaunch ? QDBusConnectionInterface::QueueService
                                                             : QDBusConnectionInterface::DontQueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid())
        return Outcome::primary;
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Outcome::primary;
    if (reply.value() == QDBusConnectionInterface::ServiceNotRegistered)
        return Outcome::anotherIsRunning;
    // Queued: the bus hands the name over the moment the old instance's connection closes.
    QDeadlineTimer deadline(waitLimit);
    while (!ownsName(*interface, name, bus.baseService())) {
        if (deadline.hasExpired()) {
            interface->unregisterService(name);
            return Outcome::previousDidNotEnd;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return Outcome::primary;
}

void SingleInstance::markRelaunch() {
    qputenv(kRelaunchVariable, QByteArray::number(QCoreApplication::applicationPid()));
}

bool SingleInstance::takeRelaunchMark() {
    const bool isRelaunch = qEnvironmentVariableIsSet(kRelaunchVariable);
    qunsetenv(kRelaunchVariable);
    return isRelaunch;
}

QString SingleInstance::askRunningInstanceToShowSettings(QDBusConnection bus) {
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(
        QString::fromLatin1(ScriptingService::kServiceName),
        QString::fromLatin1(ScriptingService::kObjectPath),
        QString::fromLatin1(ScriptingService::kApplicationInterface), QStringLiteral("ShowSettings")));
    if (reply.type() == QDBusMessage::ReplyMessage)
        return QStringLiteral("Kestrova is already running; its settings window was opened.");
    if (reply.errorName() == QLatin1String(ScriptingService::kNotAvailableError))
        return QStringLiteral("Kestrova is already running (it has no settings window to open).");
    return QStringLiteral("Kestrova is already running (it did not answer: %1).").arg(reply.errorMessage());
}

} // namespace kestrova
