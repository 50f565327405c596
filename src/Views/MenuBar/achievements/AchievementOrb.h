#pragma once

#include "Services/Achievement.h"

#include <QColor>
#include <QImage>

class QPainter;

// The round, softly lit artwork behind every achievement symbol. Unlocked: a disc of blurred
// blobs in the tier's colours (the arrangement picked by the id's hash), shaded at the rim
// and lit at its upper left. Locked: a plain disc in the card colour. Each look is painted
// once per size into an image that the badges, the detail sheet and the banner all reuse.
class AchievementOrb {
public:
    // The tier's glow: its glow colour at 0.55 opacity.
    static QColor glowColor(AchievementTier tier);

    // The orb in a square image of `side` device-independent pixels, transparent outside the
    // circle. Cached: the same look at the same size is painted only once.
    static QImage image(
        AchievementTier tier, const QString& achievementId, bool isUnlocked, int side, qreal devicePixelRatio = 1.0);
    // Draws the cached image into the square `box`.
    static void paint(
        QPainter& painter, const QRectF& box, AchievementTier tier, const QString& achievementId, bool isUnlocked);
};
