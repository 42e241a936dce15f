#include "TemporaryDirectory.h"

#include "foundation/errors/Error.h"
#include "FileUrl.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QUuid>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kestrova {
namespace {

int removeEntry(const char *path, const struct stat *, int type, struct FTW *) {
    if (type == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path);
    return 0;
}

} // namespace

TemporaryDirectory::~TemporaryDirectory() {
    // Walked on bytes, deepest first, without following links: QDir::removeRecursively would skip names
    // that are not UTF-8, and following a link would delete outside the folder.
    const QByteArray path = url::localPath(m_url);
    if (!path.isEmpty() && path != "/")
        ::nftw(path.constData(), removeEntry, 32, FTW_DEPTH | FTW_PHYS);
}

namespace url {

QUrl createUniqueTemporaryDirectory() {
    const QString temporary = QDir::tempPath();
    if (!QDir().mkpath(temporary))
        throw posixError(errno ? errno : EIO, QStringLiteral("Could not create ") + temporary);
    const QByteArray path =
        QFile::encodeName(temporary + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (::mkdir(path.constData(), 0700) != 0)
        throw posixError(errno, QStringLiteral("Could not create ") + QFile::decodeName(path));
    return fromLocalPath(path, /*isDirectory=*/true);
}

TemporaryFile writeToUniqueTemporaryFile(const QString &text, const QString &fileName,
                                         const QString &contentType) {
    // The name is joined to a folder path: a separator or a dot folder would write somewhere else.
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName.contains(QChar(0)) ||
        fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        throw posixError(EINVAL, QStringLiteral("Invalid file name: ") + fileName);
    QString name = fileName;
    const QString extension = QMimeDatabase().mimeTypeForName(contentType).preferredSuffix();
    if (!extension.isEmpty())
        name += QLatin1Char('.') + extension;

    // Not a replacement folder beside the executable: that may be a read-only or shared place, and nothing
    // there is ever cleaned up.
    auto directory = std::make_shared<TemporaryDirectory>(createUniqueTemporaryDirectory());
    const QUrl file = appendingPathComponent(directory->url(), name);
    const QByteArray path = localPath(file);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw posixError(errno, QStringLiteral("Could not create ") + QFile::decodeName(path));
    const QByteArray bytes = text.toUtf8();
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            const int error = count < 0 ? errno : EIO;
            ::close(fd);
            throw posixError(error, QStringLiteral("Could not write ") + QFile::decodeName(path));
        }
        written += count;
    }
    if (::close(fd) != 0)
        throw posixError(errno, QStringLiteral("Could not write ") + QFile::decodeName(path));
    return {file, std::move(directory)};
}

} // namespace url

} // namespace kestrova
