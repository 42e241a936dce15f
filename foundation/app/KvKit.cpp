#include "KvKit.h"

#include "foundation/errors/AlertBuilder.h"
#include "foundation/errors/ErrorPresentation.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/json/JsonText.h"
#include "KvApp.h"
#include "LaunchingProcess.h"
#include "Log.h"
#include "SystemInfo.h"
#include "foundation/concurrency/UnfairLock.h"
#include "foundation/workspace/Workspace.h"
#include "platform/reports/CrashReporter.h"
#include "platform/input/KeyboardState.h"
#include "platform/defaults/UserDefaults.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

namespace kestrova {
namespace {

const QString kLaunchCountKey = QStringLiteral("Kv_launchCount");
const QString kFirstLaunchDateKey = QStringLiteral("Kv_firstLaunchDate");
const QString kShowSettingsAfterRelaunchKey = QStringLiteral("Kv_isShowingSettingsAfterRelaunch");
const QString kCrashOnExceptionsKey = QStringLiteral("NSApplicationCrashOnExceptions");

void postToMainThread(std::function<void()> work) {
    if (auto *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

bool isMainThread() {
    const auto *application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

struct ProcessState {
    UnfairLock lock;
    KvApp::ApplicationHooks hooks;
    KvApp::RelaunchOperations relaunch;
};

ProcessState &processState() {
    static auto *state =
        new ProcessState{{},
                         {},
                         {[](const QString &program, const QStringList &arguments) {
                              return QProcess::startDetached(program, arguments);
                          },
                          [](const QUrl &application) { return workspace::launchApplication(application); },
                          [] { KvApp::quit(); },
                          [](int status) {
                              // Ended on purpose, whatever the status: no crash to tell of next time.
                              platform::CrashReporter::shared().markCleanExit();
                              std::_Exit(status);
                          }}};
    return *state;
}

} // namespace

namespace LaunchCompletions {
namespace {
std::vector<std::function<void()>> &completions() {
    static std::vector<std::function<void()>> list;
    return list;
}
} // namespace

void add(std::function<void()> completion) {
    completions().push_back(std::move(completion));
}

void runFinishedLaunchingCompletions() {
    const auto running = std::exchange(completions(), {});
    for (const auto &completion : running) {
        if (completion)
            completion();
    }
}
} // namespace LaunchCompletions

LaunchChord launchChord(quint64 modifierFlags) {
    using namespace platform::ModifierFlag;
    const quint64 masked =
        (modifierFlags & 0xFFFFFFFFULL & deviceIndependentFlagsMask) & ~(capsLock | numericPad | function);
    if (masked == (shift | control))
        return LaunchChord::debugMode;
    if (masked == (shift | control | option))
        return LaunchChord::supportWindow;
    if (masked == (shift | control | option | command))
        return LaunchChord::deleteDataAndSettings;
    return LaunchChord::none;
}

qint64 KvKit::nextLaunchCount(const std::optional<platform::PropertyListValue> &stored) {
    qint64 previous = 0;
    if (stored) {
        if (const auto *integer = stored->getIf<std::int64_t>()) {
            previous = *integer;
        } else if (const auto *text = stored->getIf<QString>()) {
            const Json array = Json::parse(QStringLiteral("[%1]").arg(*text).toStdString(), nullptr,
                                           /*allow_exceptions=*/false);
            if (array.is_array() && !array.empty() && array.front().is_number_integer())
                previous = array.front().get<qint64>();
        }
    }
    return previous == std::numeric_limits<qint64>::max() ? previous : previous + 1;
}

platform::Date KvKit::firstLaunchDate(platform::UserDefaults &defaults) {
    if (const auto stored = defaults.object(kFirstLaunchDateKey))
        if (const auto *date = stored->getIf<platform::Date>())
            return *date;
    const platform::Date now = platform::Date::now();
    defaults.setObject(platform::PropertyListValue(now), kFirstLaunchDateKey);
    return now;
}

KvKit &KvKit::shared() {
    static auto *kit = [] {
        // Fixed now, on the main thread, before anything else can ask from another thread.
        KvApp::isDebugMode();
        platform::CrashReporter::shared().markRunning();
        return new KvKit(Environment{platform::UserDefaults::standard(),
                                     platform::KeyboardState::sharedPointer(),
                                     [] { return platform::CrashReporter::shared().crashedLastRun(); },
                                     [] { KvApp::deleteDataAndSettings(); }});
    }();
    return *kit;
}

const KvKit::Metadata &KvKit::metadata() {
    static const Metadata value{QUrl(QStringLiteral("https://kestrova.org")), std::nullopt};
    return value;
}

KvKit::KvKit(Environment environment)
    : m_environment(std::move(environment)) {
    platform::UserDefaults &defaults = *m_environment.defaults;

    defaults.registerDefaults({{kLaunchCountKey, platform::PropertyListValue(0)}});
    m_launchCount = nextLaunchCount(defaults.object(kLaunchCountKey));
    defaults.setObject(platform::PropertyListValue(m_launchCount), kLaunchCountKey);

    defaults.registerDefaults({{kCrashOnExceptionsKey, platform::PropertyListValue(true)}});

    m_firstLaunchDate = firstLaunchDate(defaults);
    m_launchDate = platform::Date::now();
    m_hasCrashed = SystemInfo::stickyCrashFlag(defaults, m_environment.crashedLastRun);

    const quint64 flags = m_environment.keyboard ? m_environment.keyboard->modifiersHeldAtLaunch() : 0;
    if (launchChord(flags) == LaunchChord::supportWindow)
        postToMainThread([] {
            if (const auto show = KvApp::hooks().showSupportWindow)
                show();
        });
    postToMainThread([environment = m_environment] { askToDeleteDataAndSettings(environment); });
    postToMainThread([] {
        LaunchCompletions::runFinishedLaunchingCompletions();
        KvApp::addDebugMenu();
    });

    const auto showSettings = defaults.object(kShowSettingsAfterRelaunchKey);
    if (showSettings && showSettings->getIf<bool>() && *showSettings->getIf<bool>()) {
        defaults.removeObject(kShowSettingsAfterRelaunchKey);
        KvApp::showSettingsWindowAsync();
    }
    // What the launching-process helpers know is fixed once launching has finished.
    postToMainThread([] { LaunchingProcess::processID(); });
}

void KvKit::askToDeleteDataAndSettings(const Environment &environment) {
    // Read again a turn later: the support window and this question exclude each other.
    const quint64 flags = environment.keyboard ? environment.keyboard->modifiersHeldAtLaunch() : 0;
    if (launchChord(flags) != LaunchChord::deleteDataAndSettings)
        return;
    if (const auto activate = KvApp::hooks().activateApplication)
        activate();
    platform::Alert alert =
        makeAlert({.title = QStringLiteral("Are you sure you want to delete the settings and data for %1?")
                                .arg(KvApp::name()),
                   .buttons = {QStringLiteral("Delete"), QStringLiteral("Cancel")},
                   .destructiveButtonIndexes = {0}});
    if (platform::AlertPresenter::shared().runModal(alert) != platform::ModalResponse::alertFirstButtonReturn)
        return;
    if (environment.deleteDataAndSettings)
        environment.deleteDataAndSettings();
    KvApp::startRelaunch(/*exitImmediately=*/false, /*showSettings=*/false);
}

namespace KvApp {

qint64 launchCount() {
    return KvKit::shared().launchCount();
}
bool isFirstLaunch() {
    return launchCount() == 1;
}
platform::Date firstLaunchDate() {
    return KvKit::shared().firstLaunchDate();
}
platform::Date launchDate() {
    return KvKit::shared().launchDate();
}
bool hasCrashed() {
    return KvKit::shared().hasCrashed();
}

bool isDebugMode() {
    static std::mutex mutex;
    static std::optional<bool> debugMode;
    std::lock_guard hold(mutex);
    if (debugMode)
        return *debugMode;
    // The keyboard can only be asked on the main thread; elsewhere wait for the kit to fix the answer.
    if (!isMainThread())
        return false;
    debugMode =
        launchChord(platform::KeyboardState::shared().modifiersHeldAtLaunch()) == LaunchChord::debugMode;
    return *debugMode;
}

ApplicationHooks hooks() {
    auto &state = processState();
    std::lock_guard hold(state.lock);
    return state.hooks;
}

void setHooks(ApplicationHooks hooks) {
    auto &state = processState();
    std::lock_guard hold(state.lock);
    state.hooks = std::move(hooks);
}

RelaunchOperations relaunchOperations() {
    auto &state = processState();
    std::lock_guard hold(state.lock);
    return state.relaunch;
}

void setRelaunchOperations(RelaunchOperations operations) {
    auto &state = processState();
    std::lock_guard hold(state.lock);
    state.relaunch = std::move(operations);
}

QCoro::Task<> relaunch(bool exitImmediately, bool showSettings) {
    const RelaunchOperations operations = relaunchOperations();
    const auto defaults = platform::UserDefaults::standard();
    if (showSettings)
        defaults->setObject(platform::PropertyListValue(true), kShowSettingsAfterRelaunchKey);
    // The new instance reads the settings from disk while this one may still be running.
    if (!defaults->synchronize())
        reportError(GeneralError(QStringLiteral("The settings could not be saved before relaunching.")));
    if (const auto willRelaunch = hooks().willRelaunch)
        willRelaunch();

    const auto failed = [&](const QString &description) -> std::optional<Error> {
        return GeneralError(description,
                            QStringLiteral("Start %1 again from the application menu.").arg(name()));
    };
    std::optional<Error> failure;
    if (!operations.startProcess(QCoreApplication::applicationFilePath(),
                                 QCoreApplication::arguments().mid(1))) {
        const auto installed = workspace::cachedURLForApplication(id());
        if (!installed)
            failure = failed(QStringLiteral("%1 could not be started again.").arg(name()));
        else if (!operations.openApplication(*installed))
            failure = failed(QStringLiteral("%1 could not be started again from “%2”.")
                                 .arg(name(), installed->toLocalFile()));
    }
    if (failure) {
        reportError(*failure);
        if (exitImmediately) {
            operations.exitNow(1);
            co_return;
        }
        co_await presentAsModalAsync(*failure);
    }
    if (exitImmediately)
        operations.exitNow(0);
    else
        operations.terminate();
}

void startRelaunch(bool exitImmediately, bool showSettings) {
    QCoro::connect(relaunch(exitImmediately, showSettings), QCoreApplication::instance(), [] {});
}

void showSettingsWindowAsync() {
    postToMainThread([] {
        const ApplicationHooks current = hooks();
        if (current.activateApplication)
            current.activateApplication();
        if (current.showSettingsWindow)
            current.showSettingsWindow();
    });
}

void quit() {
    postToMainThread([] { QCoreApplication::quit(); });
}

void addDebugMenu() {
    if (!isDebugMode())
        return;
    if (const auto add = hooks().addDebugMenu)
        add();
}

AtomicDictionary<QString, QVariant> &debugInfoExtras() {
    static auto *extras = new AtomicDictionary<QString, QVariant>;
    return *extras;
}

} // namespace KvApp
} // namespace kestrova
