#include "platform/status/StatusItemImage.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kestrova::platform {

namespace {

// Of the square: the picture when a badge shares it, the badge, and the margin of the badge's letter.
constexpr qreal kPictureBesideBadge = 0.78;
constexpr qreal kBadge = 0.62;
constexpr qreal kBadgeInset = 0.18;
// Of the square: the margin around initials drawn alone.
constexpr qreal kInitialsMargin = 0.06;

std::vector<QString> graphemes(const QString &text) {
    std::vector<QString> result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        result.push_back(text.mid(start, end - start));
        start = end;
    }
    return result;
}

bool isWordGrapheme(const QString &grapheme) {
    const QList<uint> characters = grapheme.toUcs4();
    return !characters.isEmpty() && QChar::isLetterOrNumber(characters.front());
}

QString capital(const QString &grapheme) {
    const QString upper = grapheme.toUpper();
    // Some capitals are two letters ("ß" gives "SS"); one mark per word reads better.
    return graphemes(upper).size() == 1 ? upper : grapheme;
}

// How narrow wide text may be drawn, to stay tall enough to read: two capitals in a square would
// otherwise be less than half its height.
constexpr qreal kMostCondensed = 0.65;

// `text` in bold, as a shape as large as fits in `box`, centred. Fitted by the ink itself rather than the
// font's line height, so that a single capital fills a 16-pixel square; wide text is condensed first.
QPainterPath fittedText(const QString &text, const QRectF &box) {
    QFont font = QGuiApplication::font();
    font.setBold(true);
    font.setPixelSize(100);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty())
        return {};
    const qreal widthScale = box.width() / bounds.width();
    const qreal heightScale = std::min(box.height() / bounds.height(), widthScale / kMostCondensed);
    QTransform transform;
    transform.translate(box.center().x(), box.center().y());
    transform.scale(std::min(widthScale, heightScale), heightScale);
    transform.translate(-bounds.center().x(), -bounds.center().y());
    return transform.map(path);
}

// How much a picture of `ownSide` pixels is scaled in a box of `boxSize`: in proportion to the reference
// panel, but never below its own size while that fits with a pixel to spare on each side, so that a
// small tray does not shrink a symbol that a 22-pixel panel would show whole.
qreal pictureScale(qreal ownSide, qreal boxSize) {
    const qreal proportional = boxSize / StatusItemImage::kReferenceSize;
    return std::max(proportional, std::min(1.0, (boxSize - 2) / ownSide));
}

// The picture for a box of `boxSize` pixels: as pictureScale says, or (`fill`) as large as the box;
// tinted when it is ink.
QImage scaledPicture(const StatusItemImage &image, qreal boxSize, bool fill) {
    QImage picture;
    if (!image.symbol.isNull()) {
        const qreal own = image.symbol.pointSize();
        const qreal pointSize = fill ? boxSize : std::min(boxSize, own * pictureScale(own, boxSize));
        picture = image.symbol.withConfiguration(pointSize, image.symbol.weight()).image();
    } else {
        const QSizeF own = image.picture.deviceIndependentSize();
        QSizeF wanted = own * pictureScale(std::max(own.width(), own.height()), boxSize);
        if (fill || wanted.width() > boxSize || wanted.height() > boxSize)
            wanted = own.scaled(boxSize, boxSize, Qt::KeepAspectRatio);
        picture =
            image.picture.scaled(std::max(1, qRound(wanted.width())), std::max(1, qRound(wanted.height())),
                                 Qt::KeepAspectRatio, Qt::SmoothTransformation);
        picture.setDevicePixelRatio(1);
    }
    if (image.symbol.isNull() && !image.isTemplate)
        return picture;
    return SymbolImage::tinted(picture, image.ink);
}

void drawCentred(QPainter &painter, const QImage &picture, const QRectF &box) {
    const QSizeF size = picture.deviceIndependentSize();
    painter.drawImage(QPointF(std::round(box.center().x() - size.width() / 2),
                              std::round(box.center().y() - size.height() / 2)),
                      picture);
}

} // namespace

bool StatusItemImage::isNull() const {
    return !hasPicture() && initials(title).isEmpty();
}

QImage StatusItemImage::render(int pixelSize) const {
    if (isNull() || pixelSize <= 0)
        return {};
    QImage canvas(pixelSize, pixelSize, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setPen(Qt::NoPen);
    const QRectF square(0, 0, pixelSize, pixelSize);
    const QString marks = initials(title);

    if (!hasPicture()) {
        const qreal margin = std::max(1.0, pixelSize * kInitialsMargin);
        painter.fillPath(fittedText(marks, square.adjusted(margin, margin, -margin, -margin)), ink);
    } else if (marks.isEmpty()) {
        drawCentred(painter, scaledPicture(*this, pixelSize, /*fill=*/false), square);
    } else {
        // The picture moves to the upper left; the badge takes the lower right corner, with a clear ring
        // around it so that it reads apart from the picture on any panel.
        const qreal pictureSize = std::round(pixelSize * kPictureBesideBadge);
        drawCentred(painter, scaledPicture(*this, pictureSize, /*fill=*/true),
                    QRectF(0, 0, pictureSize, pictureSize));
        const qreal badgeSize = std::round(pixelSize * kBadge);
        const QRectF badge(pixelSize - badgeSize, pixelSize - badgeSize, badgeSize, badgeSize);
        const qreal gap = std::max(1.0, pixelSize / 16.0);
        QPainterPath ring;
        ring.addEllipse(badge.adjusted(-gap, -gap, gap, gap));
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillPath(ring, Qt::black);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setBrush(ink);
        painter.drawEllipse(badge);
        // The letter is cut out of the badge: the panel shows through it, whatever its colour.
        const qreal inset = badgeSize * kBadgeInset;
        painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        painter.fillPath(fittedText(graphemes(marks).front(), badge.adjusted(inset, inset, -inset, -inset)),
                         Qt::black);
    }
    if (appearsDisabled) {
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(square, QColor(0, 0, 0, 128));
    }
    painter.end();
    return canvas;
}

QString StatusItemImage::initials(const QString &title) {
    QString marks;
    QString firstVisible;
    int words = 0;
    bool isInWord = false;
    for (const QString &grapheme : graphemes(title)) {
        if (firstVisible.isEmpty() && !grapheme.trimmed().isEmpty())
            firstVisible = grapheme;
        const bool isWord = isWordGrapheme(grapheme);
        if (isWord && !isInWord && words < 2) {
            marks += capital(grapheme);
            ++words;
        }
        isInWord = isWord;
    }
    return words > 0 ? marks : firstVisible;
}

} // namespace kestrova::platform
