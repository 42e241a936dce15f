#include "CrashReporter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <nlohmann/json.hpp>
#include <zlib.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcCrashReporter, "kestrova.platform.crashreporter")

namespace kestrova::platform {
namespace {

using Json = nlohmann::ordered_json;

constexpr int kMaximumNesting = 32;
const auto kEnvelopeSuffix = QLatin1String(".envelope.gz");
const auto kMarkerPrefix = QLatin1String("running-");

enum class MarkerState { running, abandoned, gone };

// Whether the marker's process still holds its lock. An abandoned marker is removed when `remove` is set.
MarkerState probeMarker(const QString &path, bool remove) {
    const QByteArray bytes = QFile::encodeName(path);
    const int descriptor = ::open(bytes.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0)
        return MarkerState::gone;
    MarkerState state = MarkerState::abandoned;
    struct stat opened {};
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        // Held by a live process, or the file system has no locks: either way no sign of a crash.
        state = MarkerState::running;
    } else if (::fstat(descriptor, &opened) != 0 || opened.st_nlink == 0) {
        // Its process removed it at a clean exit after it was opened here.
        state = MarkerState::gone;
    } else if (remove) {
        ::unlink(bytes.constData());
    }
    ::close(descriptor);
    return state;
}

bool hasAbandonedMarker(const QString &stateDirectory, bool remove) {
    bool found = false;
    // A plain prefix test: a name filter would compile a wildcard pattern on every start.
    const QStringList names = QDir(stateDirectory).entryList(QDir::Files);
    for (const QString &name : names) {
        if (name.startsWith(kMarkerPrefix) &&
            probeMarker(stateDirectory + u'/' + name, remove) == MarkerState::abandoned)
            found = true;
    }
    return found;
}

std::string utf8(const QString &text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

Json toJson(const QVariant &value, int depth) {
    if (depth > kMaximumNesting)
        return "…";
    if (!value.isValid() || value.isNull())
        return nullptr;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return value.toLongLong();
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return value.toULongLong();
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QString:
        return utf8(value.toString());
    case QMetaType::QByteArray:
        // Invalid sequences become U+FFFD rather than breaking the JSON text.
        return utf8(QString::fromUtf8(value.toByteArray()));
    case QMetaType::QUrl:
        return utf8(QString::fromLatin1(value.toUrl().toEncoded()));
    case QMetaType::QDateTime:
        return utf8(value.toDateTime().toUTC().toString(Qt::ISODateWithMs));
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        Json array = Json::array();
        for (const QVariant &item : value.toList())
            array.push_back(toJson(item, depth + 1));
        return array;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        Json object = Json::object();
        const QVariantMap map = value.toMap();
        for (auto entry = map.cbegin(); entry != map.cend(); ++entry)
            object[utf8(entry.key())] = toJson(entry.value(), depth + 1);
        return object;
    }
    default:
        if (value.canConvert<QString>())
            return utf8(value.toString());
        return utf8(QStringLiteral("<%1>").arg(QString::fromLatin1(value.metaType().name())));
    }
}

QByteArray gzip(const QByteArray &data) {
    z_stream stream{};
    // 15 + 16: the largest window with a gzip wrapper, so that any gunzip reads the file.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray output(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(output.data());
    stream.avail_out = static_cast<uInt>(output.size());
    const int result = deflate(&stream, Z_FINISH);
    const auto written = static_cast<qsizetype>(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return {};
    output.truncate(written);
    return output;
}

} // namespace

// Writes queued envelopes one at a time on a thread of its own, started at the first capture.
class CrashReporter::Writer {
public:
    explicit Writer(QString directory)
        : m_directory(std::move(directory)) {}

    ~Writer() {
        waitUntilIdle(std::chrono::seconds(2));
        {
            std::lock_guard hold(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    bool enqueue(QString fileName, QByteArray content) {
        {
            std::lock_guard hold(m_mutex);
            if (m_queue.size() >= static_cast<std::size_t>(kMaximumPendingCount))
                return false;
            if (!m_thread.joinable())
                m_thread = std::thread([this] { run(); });
            m_queue.push_back({std::move(fileName), std::move(content)});
        }
        m_wake.notify_one();
        return true;
    }

    bool waitUntilIdle(std::chrono::milliseconds timeout) {
        std::unique_lock hold(m_mutex);
        return m_idle.wait_for(hold, timeout, [this] { return m_queue.empty() && !m_busy; });
    }

private:
    struct Envelope {
        QString fileName;
        QByteArray content;
    };

    void run() {
        std::unique_lock hold(m_mutex);
        for (;;) {
            m_wake.wait(hold, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            Envelope envelope = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
            hold.unlock();
            write(envelope);
            hold.lock();
            m_busy = false;
            if (m_queue.empty())
                m_idle.notify_all();
        }
    }

    void write(const Envelope &envelope) {
        if (!QDir().mkpath(m_directory)) {
            qCWarning(lcCrashReporter) << "Could not create the reports folder" << m_directory;
            return;
        }
        const QByteArray compressed = gzip(envelope.content);
        QSaveFile file(m_directory + u'/' + envelope.fileName);
        if (compressed.isEmpty() || !file.open(QIODevice::WriteOnly) ||
            file.write(compressed) != compressed.size() || !file.commit()) {
            qCWarning(lcCrashReporter)
                << "Could not write the error report" << file.fileName() << file.errorString();
            return;
        }
        prune();
    }

    // Names begin with the capture time, so name order is age order.
    void prune() {
        QDir directory(m_directory);
        const QStringList names =
            directory.entryList({QStringLiteral("*") + kEnvelopeSuffix}, QDir::Files, QDir::Name);
        for (qsizetype index = 0; index < names.size() - kMaximumReportCount; ++index)
            directory.remove(names.at(index));
    }

    const QString m_directory;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Envelope> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

CrashReporter &CrashReporter::shared() {
    static auto *reporter = new CrashReporter(defaultStateDirectory());
    return *reporter;
}

QString CrashReporter::defaultStateDirectory() {
    const QString configured = qEnvironmentVariable("XDG_STATE_HOME");
    const QString stateHome = !configured.isEmpty() && QDir::isAbsolutePath(configured)
                                  ? configured
                                  : QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/kestrova");
}

CrashReporter::CrashReporter(QString stateDirectory)
    : m_stateDirectory(std::move(stateDirectory))
    , m_writer(std::make_unique<Writer>(reportsDirectory())) {}

CrashReporter::~CrashReporter() {
    // The marker stays: without a clean exit this run counts as one that did not end cleanly.
    if (m_markerDescriptor >= 0)
        ::close(m_markerDescriptor);
}

QString CrashReporter::reportsDirectory() const {
    return m_stateDirectory + QStringLiteral("/reports");
}

QString CrashReporter::runningMarkerPath() const {
    std::lock_guard hold(m_markerMutex);
    return m_markerPath;
}

QString CrashReporter::captureError(const QString &domain, qint64 code,
                                    const QVariantMap &userInfo) noexcept {
    try {
        static std::atomic<quint64> sequence{0};
        const QString eventId = QUuid::createUuid().toString(QUuid::Id128);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const std::string timestamp = utf8(now.toString(Qt::ISODateWithMs));

        Json header = {{"event_id", utf8(eventId)}, {"timestamp", timestamp}};
        Json event = {
            {"event_id", utf8(eventId)},
            {"timestamp", timestamp},
            {"level", "error"},
            {"release", "Kestrova@" KESTROVA_VERSION},
            {"error", {{"domain", utf8(domain)}, {"code", code}, {"userInfo", toJson(userInfo, 0)}}}};
        const auto dump = [](const Json &json) {
            return json.dump(-1, ' ', /*ensure_ascii=*/false, Json::error_handler_t::replace);
        };
        const std::string content = dump(header) + '\n' + dump(event) + '\n';

        const QString fileName = QStringLiteral("%1-%2-%3%4")
                                     .arg(now.toMSecsSinceEpoch(), 13, 10, QLatin1Char('0'))
                                     .arg(sequence++ % 1000000, 6, 10, QLatin1Char('0'))
                                     .arg(eventId, kEnvelopeSuffix);
        if (!m_writer->enqueue(fileName,
                               QByteArray(content.data(), static_cast<qsizetype>(content.size())))) {
            qCWarning(lcCrashReporter) << "Dropped an error report: too many are waiting to be written";
            return {};
        }
        return eventId;
    } catch (const std::exception &exception) {
        qCWarning(lcCrashReporter) << "Could not capture an error:" << exception.what();
    } catch (...) {
        qCWarning(lcCrashReporter) << "Could not capture an error";
    }
    return {};
}

bool CrashReporter::crashedLastRun() const {
    const int found = m_crashedLastRun.load();
    if (found >= 0)
        return found == 1;
    return hasAbandonedMarker(m_stateDirectory, /*remove=*/false);
}

void CrashReporter::markRunning() noexcept {
    try {
        std::lock_guard hold(m_markerMutex);
        if (m_markerDescriptor >= 0)
            return;
        m_crashedLastRun.store(hasAbandonedMarker(m_stateDirectory, /*remove=*/true) ? 1 : 0);
        if (!QDir().mkpath(m_stateDirectory)) {
            qCWarning(lcCrashReporter) << "Could not create the state folder" << m_stateDirectory;
            return;
        }
        const QString name = kMarkerPrefix + QStringLiteral("%1-%2")
                                                 .arg(QCoreApplication::applicationPid())
                                                 .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
        const QString path = m_stateDirectory + u'/' + name;
        // Locked before it gets its name, so that no other instance ever sees it unlocked.
        const QByteArray temporary = QFile::encodeName(m_stateDirectory + QStringLiteral("/.") + name);
        const int descriptor = ::open(temporary.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            qCWarning(lcCrashReporter) << "Could not write the running marker" << path;
            return;
        }
        const QByteArray content = QStringLiteral("%1 %2\n")
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
                                       .toUtf8();
        if (::flock(descriptor, LOCK_EX) != 0 ||
            ::write(descriptor, content.constData(), static_cast<size_t>(content.size())) != content.size() ||
            ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
            qCWarning(lcCrashReporter) << "Could not write the running marker" << path;
            ::unlink(temporary.constData());
            ::close(descriptor);
            return;
        }
        m_markerDescriptor = descriptor;
        m_markerPath = path;
    } catch (...) {
        qCWarning(lcCrashReporter) << "Could not write the running marker";
    }
}

void CrashReporter::markCleanExit() noexcept {
    try {
        waitForPendingReports(std::chrono::seconds(2));
        std::lock_guard hold(m_markerMutex);
        if (m_markerDescriptor < 0)
            return;
        // Removed while still locked: an instance probing it meanwhile sees it gone, not abandoned.
        ::unlink(QFile::encodeName(m_markerPath).constData());
        ::close(m_markerDescriptor);
        m_markerDescriptor = -1;
        m_markerPath.clear();
    } catch (...) {
        qCWarning(lcCrashReporter) << "Could not remove the running marker";
    }
}

bool CrashReporter::waitForPendingReports(std::chrono::milliseconds timeout) {
    return m_writer->waitUntilIdle(timeout);
}

} // namespace kestrova::platform
