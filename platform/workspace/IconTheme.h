#pragma once

#include <QByteArray>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QFile;

namespace kestrova::platform {

// The icon cache a theme folder may hold ("icon-theme.cache", as written by the desktop's cache tool): a
// hash table from icon names to the theme's subfolders holding an image of that name. Read in place from
// the bytes given, which may come from anyone's home folder: every offset is checked, so truncated or
// hostile bytes read as fewer icons, never out of bounds.
class IconThemeCache {
public:
    enum Suffix : std::uint16_t { xpm = 1, svg = 2, png = 4 };
    struct Image {
        int directory = 0; // index into `directories()`
        std::uint16_t suffixes = 0;
    };

    // Nothing when the bytes are not a cache of the one known version.
    static std::optional<IconThemeCache> read(QByteArray bytes);

    const QStringList &directories() const { return m_directories; }
    // The subfolders holding `name`, and which files each has.
    QList<Image> lookup(const QByteArray &name) const;

private:
    explicit IconThemeCache(QByteArray bytes)
        : m_bytes(std::move(bytes)) {}
    std::optional<std::uint32_t> read16(std::uint32_t offset) const;
    std::optional<std::uint32_t> read32(std::uint32_t offset) const;
    // The zero-terminated text at `offset`, or nothing when it runs past the end.
    std::optional<QByteArray> text(std::uint32_t offset) const;

    QByteArray m_bytes;
    QStringList m_directories;
    std::uint32_t m_hashOffset = 0;
    std::uint32_t m_buckets = 0;
};

// An icon theme as the desktop lays it out (index.theme, subfolders by size, inherited themes, hicolor last),
// looked up by name without touching the disk per name: each theme folder is read once, from its cache when
// that is current and by listing the subfolders that exist otherwise. Icons are loaded with their format
// named, so that drawing one never loads an image plugin. Main thread only.
class IconTheme {
public:
    // `themeName` first, then what it inherits, then hicolor, then `fallbackThemeName` and what that
    // inherits; each searched for in `searchPaths`, in order.
    IconTheme(const QString &themeName, const QStringList &searchPaths, const QString &fallbackThemeName);
    ~IconTheme();
    IconTheme(const IconTheme &) = delete;
    IconTheme &operator=(const IconTheme &) = delete;

    // The name whose icon draws for `name`: the name itself, or failing that its shorter forms, dash by dash
    // ("text-x-python3", "text-x-python", "text-x", "text"); empty when no theme has any.
    QString resolvedName(const QString &name) const;
    // The icon of exactly that name, drawn from the best file for each size asked for; null when no theme
    // has it.
    QIcon icon(const QString &name) const;

    struct Directory {
        enum class Type { fixed, scalable, threshold };
        QString path;
        int size = 0;
        int minimumSize = 0;
        int maximumSize = 0;
        int threshold = 2;
        int scale = 1;
        Type type = Type::threshold;

        bool matches(int pixels) const;
        int distance(int pixels) const;
    };
    struct File {
        Directory directory;
        QString path;
    };
    // Of the files in `files`, the one to draw at `pixels`: an exact size match first, then the nearest.
    static const File *bestFile(const QList<File> &files, int pixels);
    // The image in `path` at `pixels` (SVG drawn at that size, other images as they are, made smaller when
    // larger); null when unreadable.
    static QImage loadImage(const QString &path, int pixels);

private:
    struct Folder;
    struct Theme;
    QList<File> files(const QString &name) const;
    void addTheme(const QString &name, const QStringList &searchPaths, QStringList &visited);

    std::vector<std::unique_ptr<Theme>> m_themes;
};

} // namespace kestrova::platform
