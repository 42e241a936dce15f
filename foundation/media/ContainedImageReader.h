#pragma once

#include <QByteArray>
#include <QImageReader>

#include <memory>
#include <optional>

class QIODevice;

namespace kestrova {

// Reads the picture in one regular file and nothing else. A picture format that can point at other files
// (SVG: images, `use` and other references by URL or path) is read into memory first and handed to the
// image reader with every reference that leaves the document removed; a compressed SVG or a document
// that is no well-formed XML is not read at all. No FIFO or device is opened (see
// openRegularFileForReading).
class ContainedImageReader {
public:
    // Nothing when the file is no regular file, cannot be read, or holds a document that cannot be read
    // safely.
    static std::unique_ptr<ContainedImageReader> open(const QByteArray &path);
    ~ContainedImageReader();
    ContainedImageReader(const ContainedImageReader &) = delete;
    ContainedImageReader &operator=(const ContainedImageReader &) = delete;

    QImageReader &reader() { return m_reader; }

    // The SVG document without any reference outside itself: references to elements of the document
    // ("#id") stay, as do pictures embedded as data that are not themselves documents; every other link,
    // the document type declaration (entities), processing instructions and style sheets that import or
    // point at URLs are dropped. Nothing when the text is no well-formed XML.
    static std::optional<QByteArray> svgWithoutExternalReferences(const QByteArray &svg);

private:
    explicit ContainedImageReader(std::unique_ptr<QIODevice> device);

    std::unique_ptr<QIODevice> m_device;
    QImageReader m_reader;
};

} // namespace kestrova
