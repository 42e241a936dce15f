// A file manager on the session bus that only records what it is asked to show, for end-to-end runs:
//   kestrova-file-manager-recorder LOG
// Each call appends one line per item, "<method> <uri>", to LOG; "ready" on standard output once the
// service name is owned. Ends when the bus goes.
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusError>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

class FileManagerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    FileManagerAdaptor(QObject *parent, QString logPath)
        : QDBusAbstractAdaptor(parent)
        , m_logPath(std::move(logPath)) {}

public Q_SLOTS:
    void ShowFolders(const QStringList &uris, const QString &) { record("ShowFolders", uris); }
    void ShowItems(const QStringList &uris, const QString &) { record("ShowItems", uris); }
    void ShowItemProperties(const QStringList &uris, const QString &) { record("ShowItemProperties", uris); }

private:
    void record(const char *method, const QStringList &uris) {
        QFile log(m_logPath);
        if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        // An empty list is recorded too: asking to show nothing is a fault of the caller.
        if (uris.isEmpty())
            log.write(QByteArray(method) + '\n');
        for (const QString &uri : uris)
            log.write(QByteArray(method) + ' ' + uri.toUtf8() + '\n');
    }

    QString m_logPath;
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: kestrova-file-manager-recorder LOG\n");
        return 2;
    }
    QObject service;
    new FileManagerAdaptor(&service, arguments.at(1));
    auto bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &service) ||
        !bus.registerService(QStringLiteral("org.freedesktop.FileManager1"))) {
        std::fprintf(stderr, "file manager recorder: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "main.moc"
