#include "Views/MenuBar/achievements/AchievementOrb.h"

#include "Services/AchievementArt.h"
#include "Utilities/Color.h"
#include "Utilities/Theme.h"
#include "Views/Components/SoftShadow.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

// The layers of an unlocked orb, back to front, on a square of `s` pixels.
void paintUnlocked(QPainter& painter, qreal s, AchievementTier tier, const QString& id)
{
    const AchievementArt::Palette palette = AchievementArt::palette(tier, id);
    const QRectF area(0, 0, s, s);
    painter.fillRect(area, colorFromHex(palette.base));

    for (qsizetype i = 0; i < palette.blobs.size(); ++i) {
        const AchievementArt::Blob& blob = palette.blobs[i];
        // Every arrangement is moved up and to the left before use.
        const double cx = std::clamp(blob.x - 11.5, 0.0, 100.0);
        const double cy = std::clamp(blob.y - 12.5, 0.0, 100.0);
        const double reach = std::hypot(std::max(cx, 100 - cx), std::max(cy, 100 - cy)) / 100;
        const double k = i == 0 ? 0.55 : 0.55 * (0.85 - 0.05 * double(i));
        const QColor color = colorFromHex(blob.color);
        QRadialGradient gradient(QPointF(cx / 100 * s, cy / 100 * s), s * reach * k);
        gradient.setColorAt(0, color);
        gradient.setColorAt(0.4, withAlpha(color, 0.8));
        gradient.setColorAt(1, withAlpha(color, 0));
        painter.fillRect(area, gradient);
    }

    QRadialGradient rim(QPointF(s / 2, s / 2), s / 2);
    rim.setColorAt(0.55, QColor(0, 0, 0, 0));
    rim.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0.18f));
    painter.fillRect(area, rim);

    const QPointF light(s * 0.27, s * 0.25);

    // The soft highlight is blurred on a layer of its own and screened onto the blobs.
    QImage highlight(painter.device()->width(), painter.device()->height(), QImage::Format_ARGB32_Premultiplied);
    highlight.fill(Qt::transparent);
    {
        QPainter layer(&highlight);
        layer.setRenderHint(QPainter::Antialiasing);
        layer.scale(qreal(highlight.width()) / s, qreal(highlight.height()) / s);
        const QSizeF size(s * 0.5, s * 0.38);
        layer.translate(light);
        layer.scale(size.width() / size.height(), 1);
        QRadialGradient glow(QPointF(0, 0), size.height() / 2);
        glow.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.55f));
        glow.setColorAt(0.35, QColor::fromRgbF(1, 1, 1, 0.2f));
        glow.setColorAt(0.7, QColor::fromRgbF(1, 1, 1, 0));
        layer.setPen(Qt::NoPen);
        layer.setBrush(glow);
        layer.drawEllipse(QPointF(0, 0), size.height() / 2, size.height() / 2);
    }
    const qreal scale = qreal(highlight.width()) / s;
    highlight = blurredImage(highlight, std::max(s * 0.05, 1.0) * scale / 2);
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_Screen);
    painter.setOpacity(0.7);
    painter.drawImage(0, 0, highlight);
    painter.restore();

    const QSizeF spot(std::max(s * 0.08, 2.0), std::max(s * 0.07, 2.0));
    QRadialGradient specular(light, std::max(s * 0.04, 1.0));
    specular.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.7f));
    specular.setColorAt(0.7, QColor::fromRgbF(1, 1, 1, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(specular);
    painter.drawEllipse(light, spot.width() / 2, spot.height() / 2);
}

QImage renderOrb(AchievementTier tier, const QString& id, bool unlocked, int side, qreal ratio)
{
    const int pixels = std::max(1, int(std::lround(side * ratio)));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(pixels) / side, qreal(pixels) / side);
    if (!unlocked) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::bgCard());
        painter.drawEllipse(QRectF(0, 0, side, side));
        painter.end();
        image.setDevicePixelRatio(ratio);
        return image;
    }
    paintUnlocked(painter, side, tier, id);
    // Only the disc stays: the mask covers every pixel, so everything outside its circle
    // becomes transparent.
    QImage mask(image.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter disc(&mask);
        disc.setRenderHint(QPainter::Antialiasing);
        disc.setPen(Qt::NoPen);
        disc.setBrush(Qt::black);
        disc.drawEllipse(QRectF(0, 0, mask.width(), mask.height()));
    }
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(0, 0, mask);
    painter.end();
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

QColor AchievementOrb::glowColor(AchievementTier tier)
{
    return withAlpha(colorFromHex(AchievementArt::glowHex(tier)), 0.55);
}

QImage AchievementOrb::image(
    AchievementTier tier, const QString& achievementId, bool isUnlocked, int side, qreal devicePixelRatio)
{
    // A locked orb is the card colour of the appearance; an unlocked one looks the same in
    // both, so its key leaves the appearance out.
    const QString key = isUnlocked
        ? QStringLiteral("%1|%2|%3|%4").arg(int(tier)).arg(achievementId).arg(side).arg(devicePixelRatio)
        : QStringLiteral("locked|%1|%2|%3").arg(Theme::bgCard().name(QColor::HexArgb)).arg(side).arg(devicePixelRatio);
    static QHash<QString, QImage> cache;
    const auto found = cache.constFind(key);
    if (found != cache.cend())
        return *found;
    // Bounded: a handful of sizes of 33 achievements in two appearances.
    if (cache.size() > 512)
        cache.clear();
    QImage painted = renderOrb(tier, achievementId, isUnlocked, side, devicePixelRatio);
    cache.insert(key, painted);
    return painted;
}

void AchievementOrb::paint(
    QPainter& painter, const QRectF& box, AchievementTier tier, const QString& achievementId, bool isUnlocked)
{
    const qreal side = std::min(box.width(), box.height());
    if (side <= 0)
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRectF square(box.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(square, image(tier, achievementId, isUnlocked, int(std::ceil(side)), ratio));
    painter.restore();
}
