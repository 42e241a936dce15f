#include "SymbolImage.h"

#include "SymbolNameTable_p.h"

#include <QCache>
#include <QDebug>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QSet>
#include <QStandardPaths>
#include <QSvgRenderer>

#include <atomic>
#include <cmath>
#include <mutex>
#include <numbers>

namespace kestrova::platform {
namespace {

using symbols::SymbolSource;

const QString &iconDirectory() {
    static const QString directory = [] {
        const QString found =
            QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("bootstrap-icons/svg"),
                                   QStandardPaths::LocateDirectory);
        return found.isEmpty() ? QStringLiteral("/usr/share/bootstrap-icons/svg") : found;
    }();
    return directory;
}

QString iconPath(const QString &iconName) {
    return iconDirectory() + QLatin1Char('/') + iconName + ".svg";
}

std::atomic<bool> debugLogging{false};

// Resolved names, rendered images and the names already logged, shared by all threads.
struct SymbolCache {
    std::mutex mutex;
    QHash<QString, SymbolSource> sources;
    QCache<QString, QImage> images{512};
    QSet<QString> loggedNames;
};

SymbolCache &cache() {
    static SymbolCache instance;
    return instance;
}

SymbolSource sourceForName(const QString &name) {
    SymbolCache &shared = cache();
    {
        std::lock_guard lock(shared.mutex);
        const auto found = shared.sources.constFind(name);
        if (found != shared.sources.constEnd())
            return *found;
    }
    const SymbolSource source = symbols::resolveSymbolName(
        name, [](const QString &iconName) { return QFileInfo::exists(iconPath(iconName)); });
    std::lock_guard lock(shared.mutex);
    shared.sources.insert(name, source);
    return source;
}

void logFallbackOnce(const QString &name) {
    if (!debugLogging.load(std::memory_order_relaxed))
        return;
    SymbolCache &shared = cache();
    {
        std::lock_guard lock(shared.mutex);
        if (shared.loggedNames.contains(name))
            return;
        shared.loggedNames.insert(name);
    }
    qDebug().noquote() << QStringLiteral("Symbol \"%1\" has no drawing; using the fallback glyph").arg(name);
}

QImage transparentImage(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The icon set's own stroke: one unit of its 16-unit grid.
qreal strokeWidth(int side) {
    return side / 16.0;
}

void drawSvg(QPainter &painter, const QString &iconName, const QRectF &bounds) {
    QSvgRenderer renderer(iconPath(iconName));
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    renderer.render(&painter, bounds);
}

void drawNumber(QPainter &painter, const QString &text, const QRectF &bounds) {
    QFont font;
    font.setBold(true);
    font.setPixelSize(100);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF textBounds = path.boundingRect();
    const qreal scale = std::min(bounds.width() / textBounds.width(), bounds.height() / textBounds.height());
    painter.save();
    painter.translate(bounds.center());
    painter.scale(scale, scale);
    painter.translate(-textBounds.center());
    painter.fillPath(path, Qt::black);
    painter.restore();
}

// A neutral placeholder: a dashed rounded square, unlike any symbol of the set.
QImage fallbackGlyph(int side) {
    QImage image = transparentImage(side);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(Qt::black, strokeWidth(side) * 1.25);
    pen.setDashPattern({2.0, 1.5});
    painter.setPen(pen);
    const qreal inset = side * 0.125;
    painter.drawRoundedRect(QRectF(0, 0, side, side).adjusted(inset, inset, -inset, -inset), side * 0.15,
                            side * 0.15);
    return image;
}

QImage renderSource(const SymbolSource &source, int side) {
    QImage image = transparentImage(side);
    const QRectF whole(0, 0, side, side);
    if (source.enclosure == SymbolSource::Enclosure::none) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        drawSvg(painter, source.iconName, whole);
    } else {
        QImage glyph = transparentImage(side);
        {
            QPainter glyphPainter(&glyph);
            glyphPainter.setRenderHint(QPainter::Antialiasing);
            const qreal glyphSide = side * (source.text.isEmpty() ? 0.5 : 0.56);
            const QRectF glyphBounds((side - glyphSide) / 2, (side - glyphSide) / 2, glyphSide, glyphSide);
            if (source.text.isEmpty())
                drawSvg(glyphPainter, source.iconName, glyphBounds);
            else
                drawNumber(glyphPainter, source.text, glyphBounds);
        }
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal stroke = strokeWidth(side);
        const QRectF shape =
            source.filledEnclosure ? whole : whole.adjusted(stroke / 2, stroke / 2, -stroke / 2, -stroke / 2);
        if (source.filledEnclosure) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
        } else {
            painter.setPen(QPen(Qt::black, stroke));
            painter.setBrush(Qt::NoBrush);
        }
        if (source.enclosure == SymbolSource::Enclosure::circle)
            painter.drawEllipse(shape);
        else
            painter.drawRoundedRect(shape, side * 0.125, side * 0.125);
        if (source.filledEnclosure)
            painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        painter.drawImage(0, 0, glyph);
    }
    return source.mirrored ? image.mirrored(true, false) : image;
}

// Heavier weights spread the ink by a fraction of the size in eight directions.
QImage applyWeight(const QImage &image, SymbolImage::Weight weight) {
    const int steps = static_cast<int>(weight) - static_cast<int>(SymbolImage::Weight::regular);
    if (steps <= 0)
        return image;
    const qreal radius = image.width() * 0.012 * steps;
    QImage heavier = transparentImage(image.width());
    QPainter painter(&heavier);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(0, 0), image);
    for (int direction = 0; direction < 8; ++direction) {
        const qreal angle = direction * std::numbers::pi / 4;
        painter.drawImage(QPointF(radius * std::cos(angle), radius * std::sin(angle)), image);
    }
    return heavier;
}

QImage renderedImage(const QString &name, int side, SymbolImage::Weight weight) {
    const SymbolSource source = sourceForName(name);
    if (!source.isKnown())
        logFallbackOnce(name);
    const QString key = QStringLiteral("%1|%2|%3").arg(name).arg(side).arg(static_cast<int>(weight));
    SymbolCache &shared = cache();
    {
        std::lock_guard lock(shared.mutex);
        if (const QImage *cached = shared.images.object(key))
            return *cached;
    }
    const QImage image =
        applyWeight(source.isKnown() ? renderSource(source, side) : fallbackGlyph(side), weight);
    std::lock_guard lock(shared.mutex);
    shared.images.insert(key, new QImage(image));
    return image;
}

QColor paletteColor(QIcon::Mode mode) {
    const QPalette palette = QGuiApplication::palette();
    switch (mode) {
    case QIcon::Disabled:
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case QIcon::Selected:
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case QIcon::Normal:
    case QIcon::Active:
        break;
    }
    return palette.color(QPalette::Active, QPalette::WindowText);
}

// Draws the symbol afresh for every size and ratio a menu or a button asks for.
class SymbolIconEngine final : public QIconEngine {
public:
    SymbolIconEngine(SymbolImage symbol, QColor color)
        : m_symbol(std::move(symbol))
        , m_color(color) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        const QPixmap drawn = scaledPixmap(rect.size() * ratio, mode, state, ratio);
        const QSize logical = drawn.deviceIndependentSize().toSize();
        painter->drawPixmap(QRect(QPoint(rect.x() + (rect.width() - logical.width()) / 2,
                                         rect.y() + (rect.height() - logical.height()) / 2),
                                  logical),
                            drawn);
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    // `size` is in device pixels, as the icon asks for it.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        const int side = std::min(size.width(), size.height());
        if (side <= 0 || scale <= 0)
            return {};
        const SymbolImage sized = m_symbol.withConfiguration(side / scale, m_symbol.weight());
        const QImage tinted = sized.tintedImage(m_color.isValid() ? m_color : paletteColor(mode), scale);
        if (!m_color.isValid() || mode != QIcon::Disabled)
            return QPixmap::fromImage(tinted);
        // The palette has a disabled colour; a colour of our own is faded instead.
        QImage faded(tinted.size(), QImage::Format_ARGB32_Premultiplied);
        faded.fill(Qt::transparent);
        faded.setDevicePixelRatio(tinted.devicePixelRatio());
        QPainter painter(&faded);
        painter.setOpacity(0.4);
        painter.drawImage(QPointF(0, 0), tinted);
        painter.end();
        return QPixmap::fromImage(faded);
    }
    QIconEngine *clone() const override { return new SymbolIconEngine(*this); }
    QString key() const override { return QStringLiteral("KestrovaSymbol"); }
    QString iconName() override { return m_symbol.name(); }
    bool isNull() override { return m_symbol.isNull(); }

private:
    SymbolImage m_symbol;
    QColor m_color;
};

} // namespace

SymbolImage::SymbolImage(const QString &name, qreal pointSize, Weight weight)
    : m_name(name.isNull() ? QStringLiteral("") : name)
    , m_pointSize(pointSize > 0 ? pointSize : kSmallPointSize)
    , m_weight(weight) {}

bool SymbolImage::isKnownName(const QString &name) {
    return !name.isEmpty() && sourceForName(name).isKnown();
}

qreal SymbolImage::standardPointSize(const QString &name) {
    // An enclosed symbol: ".circle", ".square" or ".rectangle" anywhere, ending the name or followed by
    // more of it ("clock.arrow.circlepath"), though not by a line break with text after it.
    for (const QLatin1StringView enclosure :
         {QLatin1StringView(".circle"), QLatin1StringView(".square"), QLatin1StringView(".rectangle")}) {
        for (qsizetype at = name.indexOf(enclosure); at >= 0; at = name.indexOf(enclosure, at + 1)) {
            const qsizetype after = at + enclosure.size();
            if (after >= name.size() - 1 || name.at(after) != u'\n')
                return kLargePointSize;
        }
    }
    return kSmallPointSize;
}

SymbolImage SymbolImage::withConfiguration(qreal pointSize, Weight weight) const {
    SymbolImage configured(m_name, pointSize, weight);
    configured.m_name = m_name;
    configured.m_accessibilityDescription = m_accessibilityDescription;
    return configured;
}

QSize SymbolImage::size() const {
    const int side = std::max(1, qRound(m_pointSize));
    return isNull() ? QSize() : QSize(side, side);
}

QImage SymbolImage::image(qreal devicePixelRatio) const {
    if (isNull())
        return {};
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int side = std::max(1, qRound(m_pointSize * ratio));
    QImage drawn = renderedImage(m_name, side, m_weight);
    drawn.setDevicePixelRatio(ratio);
    return drawn;
}

QImage SymbolImage::tintedImage(const QColor &color, qreal devicePixelRatio) const {
    return tinted(image(devicePixelRatio), color);
}

QPixmap SymbolImage::pixmap(const QColor &color, qreal devicePixelRatio) const {
    return QPixmap::fromImage(tintedImage(color, devicePixelRatio));
}

QIcon SymbolImage::icon(const QColor &color) const {
    return isNull() ? QIcon() : QIcon(new SymbolIconEngine(*this, color));
}

QImage SymbolImage::tinted(const QImage &templateImage, const QColor &color) {
    if (templateImage.isNull())
        return {};
    QImage result = templateImage.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.fillRect(QRectF(QPointF(0, 0), result.deviceIndependentSize()), color);
    return result;
}

QColor SymbolImage::templateColor(Appearance appearance) {
    return appearance == Appearance::dark ? QColor(255, 255, 255) : QColor(0, 0, 0);
}

void SymbolImage::setDebugLogging(bool enabled) {
    debugLogging.store(enabled, std::memory_order_relaxed);
}

bool SymbolImage::isDebugLogging() {
    return debugLogging.load(std::memory_order_relaxed);
}

} // namespace kestrova::platform
