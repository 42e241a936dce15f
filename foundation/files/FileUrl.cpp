#include "FileUrl.h"

#include "foundation/errors/FatalReason.h"

#include <QDir>
#include <QFile>

namespace kestrova::url {

QByteArray localPath(const QUrl &url) {
    if (!url.isLocalFile())
        return {};
    const QString host = url.host();
    if (!host.isEmpty() && host != QLatin1String("localhost"))
        return {};
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

QUrl fromLocalPath(const QByteArray &path, bool isDirectory) {
    QByteArray absolute = path;
    if (!absolute.startsWith('/'))
        absolute = QFile::encodeName(QDir::currentPath()) + '/' + absolute;
    if (isDirectory && !absolute.endsWith('/'))
        absolute += '/';
    // Every byte outside the unreserved set is percent-encoded, so the text handed to QUrl is plain ASCII
    // and the bytes come back unchanged, valid UTF-8 or not.
    return QUrl::fromEncoded("file://" + absolute.toPercentEncoding("/"), QUrl::StrictMode);
}

QUrl appendingPathComponent(const QUrl &directory, const QString &name, bool isDirectory) {
    QByteArray path = localPath(directory);
    if (!path.endsWith('/'))
        path += '/';
    return fromLocalPath(path + QFile::encodeName(name), isDirectory);
}

QUrl fromLiteral(const char *text) {
    const QUrl url(QString::fromUtf8(text), QUrl::StrictMode);
    if (!url.isValid())
        fatalError(FatalReason(QStringLiteral("Invalid URL literal: ") + QString::fromUtf8(text)));
    return url;
}

} // namespace kestrova::url
