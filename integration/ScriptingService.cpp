#include "ScriptingService.h"

#include "GetFoldersIntentHandler.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QStringList>
#include <QTimer>
#include <QUrl>

namespace kestrova {
namespace {

QString errorName(IntentError::Kind kind) {
    switch (kind) {
    case IntentError::Kind::invalidArguments:
        return QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
    case IntentError::Kind::unknownFolder:
        return QString::fromLatin1(ScriptingService::kUnknownFolderError);
    case IntentError::Kind::failed:
        return QString::fromLatin1(ScriptingService::kFailedError);
    }
    return QString::fromLatin1(ScriptingService::kFailedError);
}

QList<QVariantMap> toDictionaries(const std::vector<Folder_> &folders) {
    QList<QVariantMap> dictionaries;
    dictionaries.reserve(qsizetype(folders.size()));
    for (const Folder_ &folder : folders)
        dictionaries.append(ScriptingService::toDictionary(folder));
    return dictionaries;
}

IntentError wrongType(const QString &key, const char *signature) {
    return {IntentError::Kind::invalidArguments,
            QStringLiteral("“%1” must be of the type %2.").arg(key, QLatin1String(signature))};
}

const QString kRelaunchingMessage = QStringLiteral("Kestrova is restarting; try again in a moment.");

} // namespace

ScriptingService::ScriptingService(Environment environment, QObject *parent)
    : QObject(parent)
    , m_environment(std::move(environment)) {
    qDBusRegisterMetaType<QList<QVariantMap>>();
    new FolderActionsAdaptor(this);
    new ApplicationAdaptor(this);
}

bool ScriptingService::registerObject(QDBusConnection connection) {
    return connection.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportAdaptors);
}

void ScriptingService::scheduleRelaunch() {
    beginRelaunch();
    QTimer::singleShot(kRelaunchDelayMilliseconds, this, [this] {
        if (m_environment.relaunch)
            m_environment.relaunch();
    });
}

QVariantMap ScriptingService::toDictionary(const Folder_ &folder) {
    QVariantMap dictionary{
        {QStringLiteral("identifier"), folder.identifier},
        {QStringLiteral("displayString"), folder.displayString},
        {QStringLiteral("isVisible"), folder.isVisible},
    };
    if (folder.subtitleString)
        dictionary.insert(QStringLiteral("subtitleString"), *folder.subtitleString);
    if (folder.path) {
        dictionary.insert(QStringLiteral("path"), *folder.path);
        dictionary.insert(QStringLiteral("uri"),
                          QString::fromLatin1(QUrl::fromLocalFile(*folder.path).toEncoded()));
    }
    if (folder.displayImage)
        dictionary.insert(QStringLiteral("displayImage"), *folder.displayImage);
    return dictionary;
}

std::variant<SetFolderVisibilityIntent, IntentError>
ScriptingService::intentFromParameters(const QVariantMap &parameters) {
    SetFolderVisibilityIntent intent;
    for (auto entry = parameters.begin(); entry != parameters.end(); ++entry) {
        const QString &key = entry.key();
        const QVariant &value = entry.value();
        if (key == QLatin1String("folder")) {
            if (value.metaType() != QMetaType::fromType<QStringList>())
                return wrongType(key, "as");
            const QStringList identifiers = value.toStringList();
            intent.folder.emplace(identifiers.begin(), identifiers.end());
            continue;
        }
        std::optional<bool> *flag = key == QLatin1String("isVisible")          ? &intent.isVisible
                                    : key == QLatin1String("showOtherFolders") ? &intent.showOtherFolders
                                    : key == QLatin1String("hideOtherFolders") ? &intent.hideOtherFolders
                                                                               : nullptr;
        if (!flag)
            return IntentError{IntentError::Kind::invalidArguments,
                               QStringLiteral("Unknown parameter “%1”.").arg(key.left(64))};
        if (value.metaType() != QMetaType::fromType<bool>())
            return wrongType(key, "b");
        *flag = value.toBool();
    }
    return intent;
}

FolderActionsAdaptor::FolderActionsAdaptor(ScriptingService *service)
    : QDBusAbstractAdaptor(service)
    , m_service(service) {}

bool ScriptingService::refuseWhileRelaunching() {
    if (m_environment.finishStarting)
        m_environment.finishStarting();
    if (!m_isRelaunching)
        return false;
    sendErrorReply(QString::fromLatin1(kRelaunchingError), kRelaunchingMessage);
    return true;
}

int FolderActionsAdaptor::GetFolders(QList<QVariantMap> &folders) {
    if (m_service->refuseWhileRelaunching())
        return 0;
    const GetFoldersIntentResponse response = GetFoldersIntentHandler().handleGetFolders();
    folders = toDictionaries(response.result);
    return int(response.code);
}

QList<QVariantMap> FolderActionsAdaptor::FolderOptions() {
    if (m_service->refuseWhileRelaunching())
        return {};
    return toDictionaries(GetFoldersIntentHandler().provideFolderOptions());
}

int FolderActionsAdaptor::SetFolderVisibility(const QVariantMap &parameters) {
    if (m_service->refuseWhileRelaunching())
        return 0;
    auto parsed = ScriptingService::intentFromParameters(parameters);
    if (const auto *error = std::get_if<IntentError>(&parsed)) {
        m_service->sendErrorReply(errorName(error->kind), error->message);
        return 0;
    }
    const SetFolderVisibilityIntentHandler handler([service = m_service] { service->scheduleRelaunch(); });
    const auto outcome = handler.handleSetFolderVisibility(std::get<SetFolderVisibilityIntent>(parsed));
    if (const auto *error = std::get_if<IntentError>(&outcome)) {
        m_service->sendErrorReply(errorName(error->kind), error->message);
        return 0;
    }
    return int(std::get<SetFolderVisibilityIntentResponse>(outcome).code);
}

ApplicationAdaptor::ApplicationAdaptor(ScriptingService *service)
    : QDBusAbstractAdaptor(service)
    , m_service(service) {}

void ApplicationAdaptor::ShowSettings() {
    if (m_service->refuseWhileRelaunching())
        return;
    const auto show = m_service->m_environment.showSettingsWindow;
    if (!show || !show())
        m_service->sendErrorReply(QString::fromLatin1(ScriptingService::kNotAvailableError),
                                  QStringLiteral("This build of Kestrova has no settings window."));
}

} // namespace kestrova
