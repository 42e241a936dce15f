#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace kestrova::platform {

// A system symbol, named as stored ("folder.fill", "arrow.down.circle", "ellipsis"), drawn at a point size
// and weight from the Bootstrap Icons set through a name mapping of our own.
//
// Symbol images are templates: the ink is in the alpha channel and black, and whoever presents one tints it
// (to the panel's light or dark look, or to a folder's own colours). A name the set cannot draw gives a
// neutral fallback glyph, logged once per name while debug logging is on; drawing never fails. Callers that
// must choose their own substitute ask `isKnown` first.
//
// One point is one device-independent pixel: a 16 pt symbol is a 16 by 16 image at device pixel ratio 1 and
// 32 by 32 at ratio 2. Weights above regular draw the glyph heavier; the set has no lighter cut, so lighter
// weights draw as regular. Values are cheap to copy; images are cached per name, pixel size and weight.
// Everything but `pixmap` and `icon` may be used on any thread.
class SymbolImage {
public:
    enum class Weight { ultraLight, thin, light, regular, medium, semibold, bold, heavy, black };
    enum class Appearance { light, dark };

    static constexpr qreal kSmallPointSize = 14;
    static constexpr qreal kLargePointSize = 16;

    SymbolImage() = default;
    explicit SymbolImage(const QString &name, qreal pointSize = kSmallPointSize,
                         Weight weight = Weight::regular);

    // Whether the set can draw `name` (otherwise it draws the fallback glyph).
    static bool isKnownName(const QString &name);
    // The symbols' size rule: 16 pt for names with ".circle", ".square" or ".rectangle" followed by anything
    // or nothing, 14 pt for all others.
    static qreal standardPointSize(const QString &name);

    bool isNull() const { return m_name.isNull(); }
    bool isKnown() const { return isKnownName(m_name); }
    QString name() const { return m_name; }
    qreal pointSize() const { return m_pointSize; }
    Weight weight() const { return m_weight; }
    // The same symbol at another size and weight; the description is kept.
    SymbolImage withConfiguration(qreal pointSize, Weight weight) const;

    // What assistive technologies say for the image; empty unless set.
    QString accessibilityDescription() const { return m_accessibilityDescription; }
    void setAccessibilityDescription(const QString &description) { m_accessibilityDescription = description; }

    // The logical size, pointSize by pointSize.
    QSize size() const;
    // The template image (black ink) with its device pixel ratio set; null for a null symbol.
    QImage image(qreal devicePixelRatio = 1.0) const;
    // The image filled with `color` over its ink.
    QImage tintedImage(const QColor &color, qreal devicePixelRatio = 1.0) const;
    // Main thread only.
    QPixmap pixmap(const QColor &color, qreal devicePixelRatio = 1.0) const;
    // An icon drawn at whatever size and ratio it is asked for, tinted with `color`, or with the application
    // palette's text colour for the icon's mode when `color` is invalid. Main thread only.
    QIcon icon(const QColor &color = QColor()) const;

    // A copy of a template image whose ink is filled with `color` (drawn source-atop, so a translucent colour
    // keeps some of the ink beneath); the device pixel ratio is kept.
    static QImage tinted(const QImage &templateImage, const QColor &color);
    // The ink of template images on a light or a dark panel.
    static QColor templateColor(Appearance appearance);

    // While on, each name that draws the fallback glyph is logged once.
    static void setDebugLogging(bool enabled);
    static bool isDebugLogging();

private:
    QString m_name;
    qreal m_pointSize = kSmallPointSize;
    Weight m_weight = Weight::regular;
    QString m_accessibilityDescription;
};

} // namespace kestrova::platform
