#include "IconTheme.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

#include <algorithm>
#include <cstring>

namespace kestrova::platform {
namespace {

constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
const QString kCacheName = QStringLiteral("icon-theme.cache");
const QString kHicolor = QStringLiteral("hicolor");

// The cache's own hash of a name: its characters taken as signed, as the tool that writes it does.
std::uint32_t nameHash(const QByteArray &name) {
    if (name.isEmpty())
        return 0;
    const auto character = [&](qsizetype index) {
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(name[index])));
    };
    std::uint32_t hash = character(0);
    for (qsizetype index = 1; index < name.size(); ++index)
        hash = (hash << 5) - hash + character(index);
    return hash;
}

// An index.theme: its groups, each a map of keys to values. Lines that are neither a group nor a key are
// skipped, as are comments.
using IndexGroups = QHash<QString, QHash<QString, QString>>;

IndexGroups readIndex(const QString &path) {
    IndexGroups groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return groups;
    QHash<QString, QString> *group = nullptr;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &rawLine : lines) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = &groups[line.mid(1, line.size() - 2)];
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (group && equals > 0)
            group->insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return groups;
}

QStringList listValue(const QString &value) {
    QStringList items;
    for (const QString &item : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (!item.trimmed().isEmpty())
            items << item.trimmed();
    }
    return items;
}

IconTheme::Directory::Type directoryType(const QString &text) {
    if (text.compare(QLatin1String("Fixed"), Qt::CaseInsensitive) == 0)
        return IconTheme::Directory::Type::fixed;
    if (text.compare(QLatin1String("Scalable"), Qt::CaseInsensitive) == 0)
        return IconTheme::Directory::Type::scalable;
    return IconTheme::Directory::Type::threshold;
}

// The file names of an image of `name` in a subfolder, by the suffixes the folder has: PNG first, as the
// cheapest to draw exactly, then SVG, then XPM.
QString fileName(const QString &name, std::uint16_t suffixes) {
    if (suffixes & IconThemeCache::png)
        return name + QStringLiteral(".png");
    if (suffixes & IconThemeCache::svg)
        return name + QStringLiteral(".svg");
    if (suffixes & IconThemeCache::xpm)
        return name + QStringLiteral(".xpm");
    return {};
}

// Draws a theme icon's files: each size asked for is loaded once, from the file that suits it best.
class ThemeIconEngine : public QIconEngine {
public:
    ThemeIconEngine(QString name, QList<IconTheme::File> files)
        : m_name(std::move(name))
        , m_files(std::move(files)) {}

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        const QPixmap base = basePixmap(qMax(size.width(), size.height()));
        if (mode == QIcon::Normal || base.isNull())
            return base;
        // The disabled and selected looks are the style's, as for any other icon.
        return QIcon(base).pixmap(base.size(), mode, state);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override {
        return basePixmap(qMax(size.width(), size.height())).size();
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        if (drawn.isNull())
            return;
        drawn.setDevicePixelRatio(ratio);
        const QSizeF shown = drawn.deviceIndependentSize();
        const QPointF corner(rect.x() + (rect.width() - shown.width()) / 2,
                             rect.y() + (rect.height() - shown.height()) / 2);
        painter->drawPixmap(corner, drawn);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const IconTheme::File &file : m_files) {
            const QSize size(file.directory.size, file.directory.size);
            if (!sizes.contains(size))
                sizes << size;
        }
        return sizes;
    }

    QIconEngine *clone() const override { return new ThemeIconEngine(m_name, m_files); }
    QString key() const override { return QStringLiteral("KestrovaThemeIcon"); }
    QString iconName() override { return m_name; }
    bool isNull() override { return m_files.isEmpty(); }

private:
    QPixmap basePixmap(int pixels) {
        if (pixels <= 0)
            return {};
        const auto found = m_pixmaps.constFind(pixels);
        if (found != m_pixmaps.constEnd())
            return *found;
        QPixmap pixmap;
        if (const IconTheme::File *file = IconTheme::bestFile(m_files, pixels))
            pixmap = QPixmap::fromImage(IconTheme::loadImage(file->path, pixels));
        m_pixmaps.insert(pixels, pixmap);
        return pixmap;
    }

    QString m_name;
    QList<IconTheme::File> m_files;
    QHash<int, QPixmap> m_pixmaps;
};

} // namespace

// --- IconThemeCache

std::optional<std::uint32_t> IconThemeCache::read16(std::uint32_t offset) const {
    if (qsizetype(offset) + 2 > m_bytes.size())
        return std::nullopt;
    const auto *bytes = reinterpret_cast<const unsigned char *>(m_bytes.constData()) + offset;
    return std::uint32_t(bytes[0]) << 8 | bytes[1];
}

std::optional<std::uint32_t> IconThemeCache::read32(std::uint32_t offset) const {
    if (qsizetype(offset) + 4 > m_bytes.size())
        return std::nullopt;
    const auto *bytes = reinterpret_cast<const unsigned char *>(m_bytes.constData()) + offset;
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 |
           bytes[3];
}

std::optional<QByteArray> IconThemeCache::text(std::uint32_t offset) const {
    if (qsizetype(offset) >= m_bytes.size())
        return std::nullopt;
    const char *start = m_bytes.constData() + offset;
    const void *end = std::memchr(start, '\0', std::size_t(m_bytes.size() - offset));
    if (!end)
        return std::nullopt;
    return QByteArray(start, static_cast<const char *>(end) - start);
}

std::optional<IconThemeCache> IconThemeCache::read(QByteArray bytes) {
    IconThemeCache cache(std::move(bytes));
    const auto major = cache.read16(0);
    const auto minor = cache.read16(2);
    const auto hashOffset = cache.read32(4);
    const auto listOffset = cache.read32(8);
    if (major != 1u || minor != 0u || !hashOffset || !listOffset)
        return std::nullopt;
    const auto directoryCount = cache.read32(*listOffset);
    const auto buckets = cache.read32(*hashOffset);
    if (!directoryCount || !buckets)
        return std::nullopt;
    // Counts that the bytes cannot hold are refused before anything is made of them.
    const auto fits = [&](std::uint32_t start, std::uint32_t count) {
        return qsizetype(start) + 4 + qsizetype(count) * 4 <= cache.m_bytes.size();
    };
    if (!fits(*listOffset, *directoryCount) || !fits(*hashOffset, *buckets))
        return std::nullopt;
    for (std::uint32_t index = 0; index < *directoryCount; ++index) {
        const auto offset = cache.read32(*listOffset + 4 + 4 * index);
        const auto name = offset ? cache.text(*offset) : std::nullopt;
        if (!name)
            return std::nullopt;
        cache.m_directories << QString::fromUtf8(*name);
    }
    cache.m_hashOffset = *hashOffset;
    cache.m_buckets = *buckets;
    return cache;
}

QList<IconThemeCache::Image> IconThemeCache::lookup(const QByteArray &name) const {
    QList<Image> images;
    if (m_buckets == 0 || name.isEmpty())
        return images;
    auto offset = read32(m_hashOffset + 4 + 4 * (nameHash(name) % m_buckets));
    // Each link of a chain takes 12 bytes, so a longer walk goes round a loop.
    for (qsizetype steps = m_bytes.size() / 12 + 1; offset && *offset != kEmpty && steps > 0; --steps) {
        const auto nameOffset = read32(*offset + 4);
        const auto entryName = nameOffset ? text(*nameOffset) : std::nullopt;
        if (entryName && *entryName == name) {
            const auto listOffset = read32(*offset + 8);
            const auto count = listOffset ? read32(*listOffset) : std::nullopt;
            if (!count)
                return images;
            for (std::uint32_t index = 0; index < *count; ++index) {
                const std::uint32_t at = *listOffset + 4 + 8 * index;
                const auto directory = read16(at);
                const auto suffixes = read16(at + 2);
                if (!directory || !suffixes)
                    break;
                if (qsizetype(*directory) < m_directories.size())
                    images.append({int(*directory), std::uint16_t(*suffixes)});
            }
            return images;
        }
        offset = read32(*offset);
    }
    return images;
}

// --- IconTheme

struct IconTheme::Folder {
    QString path;
    // The cache, read in place from the mapped file, with the theme's index of each of its subfolders
    // (-1 for those the theme does not list).
    std::unique_ptr<QFile> cacheFile;
    std::optional<IconThemeCache> cache;
    std::vector<int> themeDirectoryOfCached;
    // Without a current cache: the names found in the subfolders that exist, with the theme's index of
    // each subfolder holding them.
    QHash<QString, QList<IconThemeCache::Image>> listed;
};

struct IconTheme::Theme {
    QString name;
    std::vector<Directory> directories;
    std::vector<Folder> folders;
};

namespace {

// A cache older than its folder, or than any subfolder it lists, misses icons added since: it is not used.
bool isCurrent(const QString &folder, const QFileInfo &cacheInfo, const IconThemeCache &cache) {
    const QDateTime written = cacheInfo.lastModified();
    if (written < QFileInfo(folder).lastModified())
        return false;
    for (const QString &directory : cache.directories()) {
        const QFileInfo info(folder + QLatin1Char('/') + directory);
        if (info.exists() && written < info.lastModified())
            return false;
    }
    return true;
}

} // namespace

IconTheme::IconTheme(const QString &themeName, const QStringList &searchPaths, const QString &fallbackThemeName) {
    QStringList visited;
    if (!themeName.isEmpty())
        addTheme(themeName, searchPaths, visited);
    addTheme(kHicolor, searchPaths, visited);
    if (!fallbackThemeName.isEmpty())
        addTheme(fallbackThemeName, searchPaths, visited);
}

IconTheme::~IconTheme() = default;

void IconTheme::addTheme(const QString &name, const QStringList &searchPaths, QStringList &visited) {
    if (visited.contains(name))
        return;
    visited << name;
    auto theme = std::make_unique<Theme>();
    theme->name = name;
    IndexGroups index;
    QStringList folders;
    for (const QString &searchPath : searchPaths) {
        const QString folder = searchPath + QLatin1Char('/') + name;
        if (!QFileInfo(folder).isDir())
            continue;
        folders << folder;
        if (index.isEmpty())
            index = readIndex(folder + QStringLiteral("/index.theme"));
    }
    // A theme without an index is no theme.
    if (!index.contains(QStringLiteral("Icon Theme")))
        return;
    const QHash<QString, QString> &header = index[QStringLiteral("Icon Theme")];
    QHash<QString, int> directoryIndex;
    for (const QString &path : listValue(header.value(QStringLiteral("Directories"))) +
                                   listValue(header.value(QStringLiteral("ScaledDirectories")))) {
        if (directoryIndex.contains(path))
            continue;
        const QHash<QString, QString> keys = index.value(path);
        Directory directory;
        directory.path = path;
        directory.size = keys.value(QStringLiteral("Size")).toInt();
        if (directory.size <= 0)
            continue;
        directory.type = directoryType(keys.value(QStringLiteral("Type")));
        directory.minimumSize = keys.value(QStringLiteral("MinSize"), QString::number(directory.size)).toInt();
        directory.maximumSize = keys.value(QStringLiteral("MaxSize"), QString::number(directory.size)).toInt();
        directory.threshold = keys.value(QStringLiteral("Threshold"), QStringLiteral("2")).toInt();
        directory.scale = qMax(1, keys.value(QStringLiteral("Scale"), QStringLiteral("1")).toInt());
        directoryIndex.insert(path, int(theme->directories.size()));
        theme->directories.push_back(directory);
    }

    for (const QString &path : std::as_const(folders)) {
        Folder folder;
        folder.path = path;
        const QFileInfo cacheInfo(path + QLatin1Char('/') + kCacheName);
        if (cacheInfo.isFile()) {
            auto file = std::make_unique<QFile>(cacheInfo.filePath());
            const uchar *mapped = file->open(QIODevice::ReadOnly) ? file->map(0, file->size()) : nullptr;
            if (mapped) {
                folder.cache = IconThemeCache::read(
                    QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), file->size()));
                if (folder.cache && isCurrent(path, cacheInfo, *folder.cache)) {
                    folder.cacheFile = std::move(file);
                    for (const QString &cached : folder.cache->directories())
                        folder.themeDirectoryOfCached.push_back(directoryIndex.value(cached, -1));
                } else {
                    folder.cache.reset();
                }
            }
        }
        if (!folder.cache) {
            // Only the subfolders under a top folder that exists are listed: a theme names hundreds.
            const QSet<QString> present = [&] {
                const QStringList names = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
                return QSet<QString>(names.begin(), names.end());
            }();
            for (int index = 0; index < int(theme->directories.size()); ++index) {
                const QString &subfolder = theme->directories[std::size_t(index)].path;
                if (!present.contains(subfolder.section(QLatin1Char('/'), 0, 0)))
                    continue;
                const QStringList files = QDir(path + QLatin1Char('/') + subfolder).entryList(QDir::Files);
                for (const QString &file : files) {
                    std::uint16_t suffix = 0;
                    if (file.endsWith(QLatin1String(".png")))
                        suffix = IconThemeCache::png;
                    else if (file.endsWith(QLatin1String(".svg")))
                        suffix = IconThemeCache::svg;
                    else if (file.endsWith(QLatin1String(".xpm")))
                        suffix = IconThemeCache::xpm;
                    if (!suffix)
                        continue;
                    QList<IconThemeCache::Image> &images = folder.listed[file.chopped(4)];
                    if (!images.isEmpty() && images.last().directory == index)
                        images.last().suffixes |= suffix;
                    else
                        images.append({index, suffix});
                }
            }
        }
        theme->folders.push_back(std::move(folder));
    }

    const QStringList parents = listValue(header.value(QStringLiteral("Inherits")));
    m_themes.push_back(std::move(theme));
    for (const QString &parent : parents)
        addTheme(parent, searchPaths, visited);
}

QList<IconTheme::File> IconTheme::files(const QString &name) const {
    QList<File> found;
    if (name.isEmpty())
        return found;
    const QByteArray encoded = name.toUtf8();
    for (const auto &theme : m_themes) {
        for (const Folder &folder : theme->folders) {
            QList<IconThemeCache::Image> images;
            if (folder.cache) {
                for (IconThemeCache::Image image : folder.cache->lookup(encoded)) {
                    image.directory = folder.themeDirectoryOfCached[std::size_t(image.directory)];
                    if (image.directory >= 0)
                        images.append(image);
                }
            } else {
                images = folder.listed.value(name);
            }
            // In the theme's own order of its subfolders, which decides between two that suit a size.
            std::sort(images.begin(), images.end(),
                      [](const auto &one, const auto &other) { return one.directory < other.directory; });
            for (const IconThemeCache::Image &image : std::as_const(images)) {
                const QString file = fileName(name, image.suffixes);
                const Directory &directory = theme->directories[std::size_t(image.directory)];
                if (!file.isEmpty())
                    found.append({directory, folder.path + QLatin1Char('/') + directory.path + QLatin1Char('/') + file});
            }
        }
        // The first theme that has the name draws it, at every size.
        if (!found.isEmpty())
            return found;
    }
    return found;
}

QString IconTheme::resolvedName(const QString &name) const {
    // The whole name in every theme before a shorter one in any.
    for (QString candidate = name; !candidate.isEmpty();) {
        if (!files(candidate).isEmpty())
            return candidate;
        const qsizetype dash = candidate.lastIndexOf(QLatin1Char('-'));
        candidate = dash > 0 ? candidate.left(dash) : QString();
    }
    return {};
}

QIcon IconTheme::icon(const QString &name) const {
    QList<File> found = files(name);
    if (found.isEmpty())
        return {};
    return QIcon(new ThemeIconEngine(name, std::move(found)));
}

bool IconTheme::Directory::matches(int pixels) const {
    if (scale != 1)
        return false;
    switch (type) {
    case Type::fixed:
        return size == pixels;
    case Type::scalable:
        return minimumSize <= pixels && pixels <= maximumSize;
    case Type::threshold:
        return size - threshold <= pixels && pixels <= size + threshold;
    }
    return false;
}

int IconTheme::Directory::distance(int pixels) const {
    switch (type) {
    case Type::fixed:
        return qAbs(size * scale - pixels);
    case Type::scalable:
        if (pixels < minimumSize * scale)
            return minimumSize * scale - pixels;
        if (pixels > maximumSize * scale)
            return pixels - maximumSize * scale;
        return 0;
    case Type::threshold:
        if (pixels < (size - threshold) * scale)
            return (size - threshold) * scale - pixels;
        if (pixels > (size + threshold) * scale)
            return pixels - (size + threshold) * scale;
        return 0;
    }
    return 0;
}

const IconTheme::File *IconTheme::bestFile(const QList<File> &files, int pixels) {
    for (const File &file : files) {
        if (file.directory.matches(pixels))
            return &file;
    }
    const File *closest = nullptr;
    int closestDistance = 0;
    for (const File &file : files) {
        const int distance = file.directory.distance(pixels);
        if (!closest || distance < closestDistance) {
            closest = &file;
            closestDistance = distance;
        }
    }
    return closest;
}

QImage IconTheme::loadImage(const QString &path, int pixels) {
    if (pixels <= 0)
        return {};
    if (path.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer renderer(path);
        if (!renderer.isValid())
            return {};
        QSize size = renderer.defaultSize();
        if (size.isEmpty())
            size = QSize(pixels, pixels);
        size.scale(pixels, pixels, Qt::KeepAspectRatio);
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        return image;
    }
    // With the format named and nothing guessed, only the built-in reader of that format is used.
    QImageReader reader(path, path.endsWith(QLatin1String(".xpm")) ? QByteArrayLiteral("xpm") : QByteArrayLiteral("png"));
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (!image.isNull() && (image.width() > pixels || image.height() > pixels))
        image = image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace kestrova::platform
