#pragma once

#include <QString>
#include <QUrl>

#include <memory>

namespace kestrova {

// Owns a folder and removes it, with everything inside, when it is destroyed (errors are ignored). Hold it
// in a std::shared_ptr where several owners share the folder: the last one to go removes it.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(QUrl url)
        : m_url(std::move(url)) {}
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory &) = delete;
    TemporaryDirectory &operator=(const TemporaryDirectory &) = delete;

    const QUrl &url() const { return m_url; }

private:
    QUrl m_url;
};

namespace url {

// A new folder named by a fresh UUID inside the temporary folder, readable only by the user (mode 0700),
// since the temporary folder is shared by every user of the machine. Throws kestrova::Error.
QUrl createUniqueTemporaryDirectory();

// A file written by writeToUniqueTemporaryFile. The file and its folder are removed when the last copy of
// `directory` goes.
struct TemporaryFile {
    QUrl url;
    std::shared_ptr<TemporaryDirectory> directory;
};

// Writes `text` as UTF-8 to "<fileName>.<preferred extension of contentType>" inside a new private folder
// in the temporary folder (createUniqueTemporaryDirectory). `fileName` must be one plain path component.
// Throws kestrova::Error; nothing is left behind then.
TemporaryFile writeToUniqueTemporaryFile(const QString &text, const QString &fileName,
                                         const QString &contentType);

} // namespace url

} // namespace kestrova
