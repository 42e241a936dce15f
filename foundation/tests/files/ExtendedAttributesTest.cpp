#include "foundation/errors/Error.h"
#include "foundation/files/ExtendedAttributes.h"
#include "foundation/files/FileUrl.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <cerrno>

using namespace kestrova;

namespace {

TEST(ExtendedAttributesTest, WritesUnderTheUserNamespace) {
    // Under the build folder rather than /tmp, which may be a tmpfs without user attributes; not beside the
    // test program, whose folder another test watches.
    QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/../xattr-XXXXXX"));
    const QString path = folder.path() + QStringLiteral("/shot.png");
    QFile(path).open(QIODevice::WriteOnly);
    ExtendedAttributes attributes(QUrl::fromLocalFile(path));
    try {
        attributes.set(QByteArray("raw"), QStringLiteral("org.kestrova.test"));
    } catch (const kestrova::Error &error) {
        if (error.code() == ENOTSUP)
            GTEST_SKIP() << "user extended attributes are not supported here";
        throw;
    }
    const QByteArray file = QFile::encodeName(path);
    char buffer[64];
    ssize_t size = ::getxattr(file.constData(), "user.org.kestrova.test", buffer, sizeof buffer);
    EXPECT_EQ(QByteArray(buffer, int(qMax(ssize_t(0), size))), QByteArray("raw"));

    attributes.set(true, QStringLiteral("user.flag"));
    size = ::getxattr(file.constData(), "user.flag", buffer, sizeof buffer);
    // A binary property list holding true, byte for byte as other encoders write it.
    const QByteArray expected = QByteArray::fromHex("62706c6973743030"
                                                    "0908"
                                                    "000000000000"
                                                    "0101"
                                                    "0000000000000001"
                                                    "0000000000000000"
                                                    "0000000000000009");
    EXPECT_EQ(QByteArray(buffer, int(qMax(ssize_t(0), size))), expected);
    EXPECT_EQ(ExtendedAttributes::binaryPropertyList(false).at(8), char(0x08));

    ExtendedAttributes missing(QUrl::fromLocalFile(folder.path() + QStringLiteral("/missing")));
    try {
        missing.set(true, QStringLiteral("flag"));
        ADD_FAILURE() << "writing to a missing file succeeded";
    } catch (const kestrova::Error &error) {
        EXPECT_EQ(error.code(), ENOENT);
    }
}

TEST(ExtendedAttributesTest, NonFileUrlThrowsBeforeTouchingTheDisk) {
    ExtendedAttributes remote(QUrl(QStringLiteral("https://example.com/a.png")));
    try {
        remote.set(QByteArray("x"), QStringLiteral("flag"));
        ADD_FAILURE() << "a web URL was accepted";
    } catch (const kestrova::Error &error) {
        EXPECT_EQ(error.code(), ENOENT);
    }
    EXPECT_EQ(ExtendedAttributes::attributeName(QStringLiteral("com.example:flag")),
              QByteArray("user.com.example:flag"));
    EXPECT_EQ(ExtendedAttributes::attributeName(QStringLiteral("user.xdg.tags")),
              QByteArray("user.xdg.tags"));
}

} // namespace
