#pragma once

#include "Services/Achievement.h"

#include <QList>
#include <QString>
#include <QStringView>

// What the achievement artwork is drawn from: the tier palettes of the orb, the stable hash
// that picks one of a tier's blob arrangements (and staggers the badges' floating), and the
// symbol each catalog icon name is drawn with.
namespace AchievementArt {

// One blob of an arrangement: a hex colour and its centre in percent of the orb's width and
// height (origin top left).
struct Blob {
    QString color;
    double x = 0;
    double y = 0;
};

struct Palette {
    QString base; // the last blob's colour
    QList<Blob> blobs;
};

// A stable index in 0 ..< mod (mod at least 1): h = 31 h + scalar over the text's Unicode
// scalars in wrapping 32-bit arithmetic, then |h| as an unsigned number, modulo `mod`.
int hashIdx(QStringView text, int mod);

// The tier's glow colour as a hex text.
QString glowHex(AchievementTier tier);
// The tier's blob arrangements: three of five blobs, one of one blob for `hidden`.
const QList<QList<Blob>>& variations(AchievementTier tier);
// The arrangement an achievement of this tier uses, chosen by the hash of its id.
Palette palette(AchievementTier tier, const QString& achievementId);

// The interface symbol for a catalog icon name; "trophy.fill" for a name it does not know.
QString sfSymbol(const QString& phosphor);

} // namespace AchievementArt
