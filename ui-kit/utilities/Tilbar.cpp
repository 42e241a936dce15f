#include "Tilbar.h"

#include "foundation/app/KvApp.h"

#include <QDBusMessage>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QMetaObject>
#include <QPainter>
#include <QTimer>
#include <QtMath>

#include <cmath>
#include <cstdlib>

namespace kestrova {

namespace {

struct State {
    double progress = 0;
    double lastDrawnProgress = 0;
    bool showsOverlay = false;
    Tilbar::Style style = Tilbar::Bar{};
    QPointer<Progress> instance;
    QMetaObject::Connection fractionObservation;
    QMetaObject::Connection finishedObservation;
    QImage dockImage;
    int redraws = 0;
    std::optional<QDBusConnection> connection;
};

State &state() {
    static State shared;
    return shared;
}

bool drawsOverlay(double progress) {
    return progress >= 0 && progress < 1;
}

// The first `fraction` of the path, as a polyline fine enough for a stroke.
QPainterPath leadingPart(const QPainterPath &path, double fraction) {
    QPainterPath part;
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction <= 0)
        return part;
    constexpr int kSteps = 240;
    part.moveTo(path.pointAtPercent(0));
    const int steps = std::max(1, int(std::ceil(kSteps * fraction)));
    for (int step = 1; step <= steps; ++step)
        part.lineTo(path.pointAtPercent(fraction * step / steps));
    return part;
}

// One full turn from twelve o'clock, clockwise as seen, around `centre` in y-down coordinates.
QPainterPath ringPath(QPointF centre, double radius) {
    QPainterPath path;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    path.arcMoveTo(box, 90);
    path.arcTo(box, 90, -360);
    return path;
}

void strokeLeading(QPainter &painter, const QPainterPath &path, double fraction, const QColor &color,
                   double width, Qt::PenCapStyle cap) {
    QPen pen(color, width);
    pen.setCapStyle(cap);
    painter.strokePath(leadingPart(path, fraction), pen);
}

void drawBar(QPainter &painter, const QRectF &r, double progress) {
    // 20 points above the bottom edge, 10 high.
    const QRectF track(r.left(), r.bottom() - 30, r.width(), 10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.8));
    painter.drawRoundedRect(track, 5, 5);
    const QRectF inner = track.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.8));
    painter.drawRoundedRect(inner, inner.height() / 2, inner.height() / 2);
    QRectF filled = track.adjusted(1, 1, -1, -1);
    filled.setWidth(filled.width() * std::clamp(progress, 0.0, 1.0));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(filled, filled.height() / 2, filled.height() / 2);
}

void drawBadge(QPainter &painter, const QRectF &r, const Tilbar::Badge &badge, double progress) {
    const double b = r.width() / 4.8;
    const QPointF centre(r.right() - b - 4, r.top() + b + 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.3));
    painter.drawEllipse(centre + QPointF(-1, 1), b, b);
    painter.setBrush(QColor::fromRgbF(0.94, 0.96, 1, 1));
    painter.drawEllipse(centre, b, b);
    strokeLeading(painter, ringPath(centre, b - 3), progress, badge.color, 6, Qt::FlatCap);

    const QString text = Tilbar::badgeText(badge.badgeValue ? badge.badgeValue() : 0);
    static const int sizes[] = {0, 30, 23, 19, 15};
    const int size = text.size() < 5 ? sizes[text.size()] : 0;
    if (size == 0)
        return;
    QFont font = QGuiApplication::font();
    font.setBold(true);
    font.setPixelSize(size);
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0.23, 0.23, 0.24, 1));
    const double side = 2 * b - 5;
    painter.drawText(QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side), Qt::AlignCenter, text);
}

QImage applicationIcon() {
    const QIcon icon = QGuiApplication::windowIcon();
    return icon.isNull() ? QImage() : icon.pixmap(128, 128).toImage();
}

void sendLauncherEntry(double progress, const Tilbar::Style &style) {
    State &s = state();
    QDBusConnection connection = s.connection ? *s.connection : QDBusConnection::sessionBus();
    if (!connection.isConnected())
        return;
    QVariantMap properties{{QStringLiteral("progress"), std::clamp(progress, 0.0, 1.0)},
                           {QStringLiteral("progress-visible"), drawsOverlay(progress)}};
    if (const auto *badge = std::get_if<Tilbar::Badge>(&style)) {
        properties.insert(QStringLiteral("count"), qint64(badge->badgeValue ? badge->badgeValue() : 0));
        properties.insert(QStringLiteral("count-visible"), drawsOverlay(progress));
    }
    QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/org/kestrova/Kestrova/LauncherEntry"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    update << QStringLiteral("application://%1.desktop").arg(KvApp::id()) << properties;
    connection.send(update);
}

} // namespace

double Tilbar::progress() {
    return state().progress;
}

void Tilbar::setProgress(double progress) {
    State &s = state();
    s.progress = progress;
    // Crossing between the overlay and the plain icon is always shown, however small the step: a finished
    // task must not leave "99 %" on the icon.
    if (s.lastDrawnProgress == 0 || std::abs(s.lastDrawnProgress - progress) > 0.01 ||
        drawsOverlay(progress) != s.showsOverlay) {
        s.lastDrawnProgress = progress;
        updateDockIcon();
    }
}

Progress *Tilbar::progressInstance() {
    return state().instance;
}

void Tilbar::setProgressInstance(Progress *progress) {
    State &s = state();
    QObject::disconnect(s.fractionObservation);
    QObject::disconnect(s.finishedObservation);
    s.instance = progress;
    if (!progress) {
        setProgress(0);
        s.lastDrawnProgress = 0;
        updateDockIcon();
        return;
    }
    const QPointer<Progress> followed(progress);
    s.fractionObservation =
        QObject::connect(progress, &Progress::fractionCompletedChanged, progress, [followed] {
            QTimer::singleShot(0, QCoreApplication::instance(), [followed] {
                if (followed && !followed->isCancelled() && !followed->isFinished())
                    setProgress(followed->fractionCompleted());
            });
        });
    s.finishedObservation = QObject::connect(progress, &Progress::finishedChanged, progress, [followed] {
        QTimer::singleShot(0, QCoreApplication::instance(), [followed] {
            if (followed && !followed->isCancelled() && followed->isFinished())
                setProgress(1);
        });
    });
}

const Tilbar::Style &Tilbar::style() {
    return state().style;
}

void Tilbar::setStyle(Style style) {
    state().style = std::move(style);
}

QImage Tilbar::dockImage() {
    return state().dockImage;
}

int Tilbar::redrawCount() {
    return state().redraws;
}

void Tilbar::setLauncherEntryConnection(const QDBusConnection &connection) {
    state().connection = connection;
}

QString Tilbar::badgeText(qint64 value) {
    // The magnitude as unsigned, so that the most negative value has one too.
    const quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    if (magnitude <= 999)
        return sign + QString::number(magnitude);
    if (magnitude <= 9999)
        return sign + QString::number(magnitude / 1000) + QLatin1Char('k');
    return sign + QStringLiteral("9k+");
}

QPainterPath Tilbar::squirclePath(const QRectF &rect, double cornerRadius) {
    const double k = std::min(std::min(rect.width(), rect.height()) / 2, cornerRadius);
    const double minX = rect.left(), maxX = rect.right(), minY = rect.top(), maxY = rect.bottom();
    QPainterPath path;
    path.moveTo(minX + k, minY);
    path.lineTo(maxX - k, minY);
    path.cubicTo(QPointF(maxX, minY), QPointF(maxX, minY), QPointF(maxX, minY + k));
    path.lineTo(maxX, maxY - k);
    path.cubicTo(QPointF(maxX, maxY), QPointF(maxX, maxY), QPointF(maxX - k, maxY));
    path.lineTo(minX + k, maxY);
    path.cubicTo(QPointF(minX, maxY), QPointF(minX, maxY), QPointF(minX, maxY - k));
    path.lineTo(minX, minY + k);
    path.cubicTo(QPointF(minX, minY), QPointF(minX, minY), QPointF(minX + k, minY));
    return path;
}

QImage Tilbar::drawIcon(const QImage &icon, const Style &style, double progress) {
    QImage image = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF r(QPointF(0, 0), QSizeF(image.size()));
    std::visit(
        [&](const auto &chosen) {
            using Kind = std::decay_t<decltype(chosen)>;
            if constexpr (std::is_same_v<Kind, Bar>) {
                drawBar(painter, r, progress);
            } else if constexpr (std::is_same_v<Kind, Squircle>) {
                const QRectF inner = r.adjusted(14.4, 14.4, -14.4, -14.4)
                                         .adjusted(chosen.inset.value_or(0), chosen.inset.value_or(0),
                                                   -chosen.inset.value_or(0), -chosen.inset.value_or(0));
                const QPainterPath path = squirclePath(inner, 0.5 * inner.width()).toReversed();
                strokeLeading(painter, path, progress * 1.02, chosen.color, 5, Qt::RoundCap);
            } else if constexpr (std::is_same_v<Kind, Circle>) {
                strokeLeading(painter, ringPath(r.center(), chosen.radius), progress, chosen.color, 4,
                              Qt::RoundCap);
            } else if constexpr (std::is_same_v<Kind, Badge>) {
                drawBadge(painter, r, chosen, progress);
            } else if (chosen.drawHandler) {
                chosen.drawHandler(painter, r);
            }
        },
        style);
    return image;
}

void Tilbar::updateDockIcon() {
    State &s = state();
    s.showsOverlay = drawsOverlay(s.progress);
    ++s.redraws;
    if (const QImage icon = applicationIcon(); !icon.isNull())
        s.dockImage = s.showsOverlay ? drawIcon(icon, s.style, s.progress) : icon;
    sendLauncherEntry(s.progress, s.style);
}

} // namespace kestrova
