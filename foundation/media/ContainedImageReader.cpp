#include "ContainedImageReader.h"

#include "foundation/files/FileSystemCalls_p.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace kestrova {
namespace {

// A larger document is not previewed: it would be held in memory twice while it is cleaned.
constexpr qint64 kMaximumSvgSize = 32 * 1024 * 1024;

bool isSvgFormat(const QByteArray &format) {
    return format.startsWith("svg");
}

// A data URL whose bytes are a picture of a format that cannot refer to anything.
bool isSelfContainedData(QStringView url) {
    const qsizetype comma = url.indexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    const QStringView header = url.first(comma);
    const QByteArray payload = url.sliced(comma + 1).toLatin1();
    QByteArray bytes = header.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive)
                           ? QByteArray::fromBase64(payload)
                           : QByteArray::fromPercentEncoding(payload);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    return !format.isEmpty() && !isSvgFormat(format);
}

bool isContainedReference(QStringView value) {
    const QStringView trimmed = value.trimmed();
    if (trimmed.startsWith(QLatin1Char('#')))
        return true;
    return trimmed.startsWith(QLatin1String("data:"), Qt::CaseInsensitive) && isSelfContainedData(trimmed);
}

// Style text may name other files through url(…) or @import; only references into the document stay.
bool styleLeavesTheDocument(QStringView style) {
    static const QRegularExpression outsideUrl(QStringLiteral(R"(@import|url\s*\(\s*['"]?\s*(?!#))"),
                                               QRegularExpression::CaseInsensitiveOption);
    return outsideUrl.match(style).hasMatch();
}

bool keepsAttribute(const QXmlStreamAttribute &attribute) {
    const QStringView name = attribute.name();
    if (name == QLatin1String("href") || name == QLatin1String("src"))
        return isContainedReference(attribute.value());
    return !styleLeavesTheDocument(attribute.value());
}

} // namespace

std::optional<QByteArray> ContainedImageReader::svgWithoutExternalReferences(const QByteArray &svg) {
    QXmlStreamReader reader(svg);
    QByteArray cleaned;
    QXmlStreamWriter writer(&cleaned);
    int styleDepth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            writer.writeStartDocument();
            break;
        case QXmlStreamReader::EndDocument:
            writer.writeEndDocument();
            break;
        case QXmlStreamReader::StartElement: {
            writer.writeStartElement(reader.namespaceUri().toString(), reader.name().toString());
            for (const QXmlStreamNamespaceDeclaration &declaration : reader.namespaceDeclarations())
                writer.writeNamespace(declaration.namespaceUri().toString(), declaration.prefix().toString());
            for (const QXmlStreamAttribute &attribute : reader.attributes()) {
                if (keepsAttribute(attribute))
                    writer.writeAttribute(attribute);
            }
            if (reader.name() == QLatin1String("style") || styleDepth > 0)
                ++styleDepth;
            break;
        }
        case QXmlStreamReader::EndElement:
            writer.writeEndElement();
            if (styleDepth > 0)
                --styleDepth;
            break;
        case QXmlStreamReader::Characters:
            if (styleDepth > 0 && styleLeavesTheDocument(reader.text()))
                break;
            if (reader.isCDATA())
                writer.writeCDATA(reader.text().toString());
            else
                writer.writeCharacters(reader.text().toString());
            break;
        default:
            // The document type (and with it every entity), processing instructions such as style-sheet
            // links, comments and unresolved entity references are left out.
            break;
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return cleaned;
}

ContainedImageReader::ContainedImageReader(std::unique_ptr<QIODevice> device)
    : m_device(std::move(device))
    , m_reader(m_device.get()) {}

ContainedImageReader::~ContainedImageReader() = default;

std::unique_ptr<ContainedImageReader> ContainedImageReader::open(const QByteArray &path) {
    auto file = std::make_unique<QFile>();
    if (!openRegularFileForReading(path, *file))
        return nullptr;
    const QByteArray format = QImageReader::imageFormat(file.get());
    if (!isSvgFormat(format))
        return std::unique_ptr<ContainedImageReader>(new ContainedImageReader(std::move(file)));
    // A compressed document would have to be unpacked to be cleaned; it is not previewed.
    if (format != "svg" || file->size() > kMaximumSvgSize)
        return nullptr;
    const auto cleaned = svgWithoutExternalReferences(file->read(kMaximumSvgSize));
    if (!cleaned)
        return nullptr;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(*cleaned);
    buffer->open(QIODevice::ReadOnly);
    auto result = std::unique_ptr<ContainedImageReader>(new ContainedImageReader(std::move(buffer)));
    // The format is fixed, so that the cleaned bytes are never read as another kind of picture.
    result->m_reader.setFormat("svg");
    return result;
}

} // namespace kestrova
