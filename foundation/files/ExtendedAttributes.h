#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace kestrova {

// Writes extended attributes of one file. Linux accepts only names in a namespace; ours go to "user.", so
// a name without that prefix gets it ("user.com.example.flag"). Each write throws kestrova::Error: ENOENT
// for a URL that is not a file URL (before anything touches the disk), else the errno of setxattr, such as
// ENOTSUP on a file system without user attributes.
class ExtendedAttributes {
public:
    explicit ExtendedAttributes(QUrl url)
        : m_url(std::move(url)) {}

    const QUrl &url() const { return m_url; }

    void set(const QByteArray &data, const QString &name);
    // Stored as a binary property list holding one Boolean, the form other tools read flags in.
    void set(bool value, const QString &name);

    static QByteArray attributeName(const QString &name);
    static QByteArray binaryPropertyList(bool value);

private:
    QUrl m_url;
};

} // namespace kestrova
