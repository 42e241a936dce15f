#pragma once

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace kestrova {

template <typename Input, typename Output> class SimpleOnce;

// An application installed on this system, known by its desktop entry: `url` is the entry's file and
// `bundleIdentifier` its id without ".desktop". Records are equal when their texts and URL are equal and
// they share one `isBrowser` holder.
struct InstalledApp {
    QString bundleIdentifier;
    QString name;
    QString version;
    QString build;
    QUrl url;
    // Whether the application opens web links; asked once.
    std::shared_ptr<SimpleOnce<QString, bool>> isBrowser;

    const QUrl &id() const { return url; }
    bool operator==(const InstalledApp &other) const;

    // The application whose desktop entry is `desktopEntry`, or none when it cannot be read.
    static std::optional<InstalledApp> fromURL(const QUrl &desktopEntry);
};

} // namespace kestrova
