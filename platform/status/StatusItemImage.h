#pragma once

#include "platform/status/SymbolImage.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <array>

namespace kestrova::platform {

// What one tray icon shows, drawn afresh at whatever square size a tray asks for. A tray gives every icon
// one square and shows no text beside it, so a title is drawn into the square as well: alone, as its
// initials filling the square; beside a picture, as a round badge with its first initial in the lower
// corner. The picture is a symbol (drawn sharp at every size) or a bitmap. Symbols, template bitmaps and
// titles are drawn in `ink`; other bitmaps keep their own colours.
//
// Sizes are measured against a panel of kReferenceSize pixels: a 14 pt symbol covers 14 of 22 pixels, 28
// of 44, and a bitmap keeps that proportion too; neither is drawn smaller than its own size where that
// fits (a 14 pt symbol covers 14 of 16), nor larger than the square. Cheap to copy; draw on the main
// thread (text needs the application's fonts).
struct StatusItemImage {
    // The sizes trays ask for, in device pixels.
    static constexpr std::array kTraySizes{16, 22, 24, 32, 48};
    static constexpr int kReferenceSize = 22;

    // Drawn when not null; otherwise `picture` is.
    SymbolImage symbol;
    QImage picture;
    // Whether `picture` is ink on transparency, tinted like a symbol.
    bool isTemplate = true;
    // Drawn into the square; empty draws no text.
    QString title;
    QColor ink = QColor(0, 0, 0);
    // Drawn at half strength.
    bool appearsDisabled = false;

    bool hasPicture() const { return !symbol.isNull() || !picture.isNull(); }
    // Nothing to draw: no picture and no title with anything to show.
    bool isNull() const;

    // The icon in a `pixelSize` square (device pixel ratio 1); a null image when isNull().
    QImage render(int pixelSize) const;

    // What a title is drawn as: the first grapheme of each of its first two words, in capitals ("Work
    // Notes": "WN", "downloads": "D"); a title without letters or digits gives its first visible
    // grapheme; a blank one gives nothing.
    static QString initials(const QString &title);
};

} // namespace kestrova::platform
