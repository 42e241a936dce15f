// Attribute writes with setxattr, on Linux.
#include "ExtendedAttributes.h"

#include "foundation/errors/Error.h"
#include "FileUrl.h"

#include <QFile>

#include <sys/xattr.h>

#include <cerrno>

namespace kestrova {

QByteArray ExtendedAttributes::attributeName(const QString &name) {
    const QByteArray bytes = name.toUtf8();
    return bytes.startsWith("user.") ? bytes : QByteArrayLiteral("user.") + bytes;
}

QByteArray ExtendedAttributes::binaryPropertyList(bool value) {
    QByteArray data("bplist00");
    data.append(char(value ? 0x09 : 0x08)); // the one object, a Boolean
    data.append(char(8));                   // offset table: the object starts at byte 8
    // Trailer: six unused bytes, 1-byte offsets and references, one object, top object 0, table at 9.
    data.append(6, '\0');
    data.append(char(1));
    data.append(char(1));
    for (const quint64 field : {quint64(1), quint64(0), quint64(9)}) {
        for (int shift = 56; shift >= 0; shift -= 8)
            data.append(char((field >> shift) & 0xff));
    }
    return data;
}

void ExtendedAttributes::set(const QByteArray &data, const QString &name) {
    const QByteArray path = url::localPath(m_url);
    if (path.isEmpty())
        throw posixError(ENOENT, QStringLiteral("Not a file URL: ") + m_url.toString());
    const QByteArray attribute = attributeName(name);
    if (::setxattr(path.constData(), attribute.constData(), data.constData(), size_t(data.size()), 0) != 0)
        throw posixError(errno, QStringLiteral("Could not set ") + QFile::decodeName(attribute) +
                                    QStringLiteral(" on ") + QFile::decodeName(path));
}

void ExtendedAttributes::set(bool value, const QString &name) {
    set(binaryPropertyList(value), name);
}

} // namespace kestrova
