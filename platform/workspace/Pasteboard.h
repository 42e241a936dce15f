#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace kestrova::platform {

// The MIME types the application writes to the clipboard.
namespace PasteboardType {
inline constexpr auto string = "text/plain;charset=utf-8";
inline constexpr auto uriList = "text/uri-list";
// Names the application that wrote the clipboard, so that clipboard managers can tell where data came from.
inline constexpr auto source = "org.nspasteboard.source";
} // namespace PasteboardType

// One entry of the clipboard: the same content in several types, in the order they were set.
class PasteboardItem {
public:
    // Replaces the data of a type already set. False for an empty type name.
    bool setData(const QByteArray &data, const QString &type);
    bool setString(const QString &text, const QString &type) { return setData(text.toUtf8(), type); }

    QByteArray data(const QString &type) const;
    QString string(const QString &type) const { return QString::fromUtf8(data(type)); }
    bool hasType(const QString &type) const;
    std::vector<QString> types() const;

private:
    std::vector<std::pair<QString, QByteArray>> m_entries;
};

// The clipboard. The desktop realization writes the system clipboard; tests use an in-memory one.
// Main thread only.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    virtual void clearContents() = 0;
    // Replaces the contents with the items and answers whether the clipboard took them. A clipboard holds
    // one item at a time here: the types of every item are merged into it, the first item's data winning.
    virtual bool writeObjects(const std::vector<PasteboardItem> &items) = 0;
    virtual std::vector<PasteboardItem> pasteboardItems() const = 0;

    // The general clipboard; refuses every write until the desktop installs its own.
    static Pasteboard &general();
    static void setGeneral(std::shared_ptr<Pasteboard> pasteboard);
};

} // namespace kestrova::platform
