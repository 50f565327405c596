#include "Services/AchievementArt.h"

#include <QHash>
#include <algorithm>

namespace AchievementArt {

int hashIdx(QStringView text, int mod)
{
    quint32 h = 0;
    for (const char32_t scalar : text.toUcs4())
        h = 31u * h + quint32(scalar);
    const qint32 signedH = qint32(h);
    // The magnitude as an unsigned number, so that -2^31 stays 2^31.
    const quint32 magnitude = signedH < 0 ? quint32(0) - h : h;
    return int(magnitude % quint32(std::max(mod, 1)));
}

namespace {

    struct Family {
        QString glow;
        QList<QList<Blob>> variations;
    };

    QList<Blob> blobs(std::initializer_list<Blob> list)
    {
        return QList<Blob>(list);
    }

    Blob b(const char* color, double x, double y)
    {
        return Blob{QString::fromLatin1(color), x, y};
    }

    const QHash<AchievementTier, Family>& families()
    {
        static const QHash<AchievementTier, Family> table = {
            {AchievementTier::bronze,
                {QStringLiteral("#FF826E"),
                    {blobs({b("#ff9aa6", 18, 38), b("#ff7a5c", 78, 80), b("#ffc6a8", 30, 82), b("#c9b6e3", 62, 12),
                         b("#9bb8d4", 85, 28)}),
                        blobs({b("#ffb088", 25, 25), b("#ff8aa4", 75, 35), b("#ffd9b8", 50, 80), b("#a9c8e0", 18, 70),
                            b("#f6d6a8", 82, 78)}),
                        blobs({b("#ff8a4a", 28, 28), b("#e95a90", 78, 28), b("#ffd87a", 22, 78), b("#9a6fb0", 75, 78),
                            b("#ffae7c", 50, 50)})}}},
            {AchievementTier::silver,
                {QStringLiteral("#AAC8EB"),
                    {blobs({b("#bfdcff", 22, 30), b("#e6c7ff", 78, 22), b("#a8d8e5", 58, 78), b("#7da6c6", 18, 82),
                         b("#f3f6fa", 50, 45)}),
                        blobs({b("#c0e8d8", 24, 26), b("#a8d2c4", 78, 30), b("#bcd9ff", 50, 80), b("#fff3d6", 22, 80),
                            b("#e9f5ee", 78, 75)}),
                        blobs({b("#9eb0f0", 26, 28), b("#a8e0ec", 78, 26), b("#f0c8e8", 30, 78), b("#7898c8", 78, 78),
                            b("#f5f6fc", 50, 50)})}}},
            {AchievementTier::gold,
                {QStringLiteral("#FFB45A"),
                    {blobs({b("#ffe18a", 28, 28), b("#ffb05a", 78, 38), b("#ffd9a3", 18, 78), b("#e88a3a", 70, 82),
                         b("#fff5c9", 48, 52)}),
                        blobs({b("#fff0c0", 25, 28), b("#ffc870", 75, 30), b("#d49640", 30, 80), b("#ffe0a0", 75, 78),
                            b("#fff8e0", 50, 50)}),
                        blobs({b("#ffc8a8", 26, 26), b("#ff9888", 76, 30), b("#ffd084", 22, 78), b("#a8584c", 76, 80),
                            b("#ffe5cc", 50, 52)})}}},
            {AchievementTier::platinum,
                {QStringLiteral("#A0B4F0"),
                    {blobs({b("#c9d4ff", 22, 28), b("#e8d6ff", 75, 22), b("#a3c8e8", 30, 80), b("#7e95d4", 78, 78),
                         b("#f6f1ff", 50, 45)}),
                        blobs({b("#a8e8f0", 24, 28), b("#f0b8e8", 76, 26), b("#c8a8f0", 30, 78), b("#fff0c0", 78, 78),
                            b("#f8f4ff", 50, 50)}),
                        blobs({b("#a0a8e8", 26, 26), b("#c0a0e0", 76, 28), b("#7868b8", 30, 80), b("#5050a0", 78, 80),
                            b("#e8e4ff", 50, 50)})}}},
            {AchievementTier::hidden, {QStringLiteral("#B3B3B3"), {blobs({b("#888", 50, 50)})}}},
        };
        return table;
    }

} // namespace

QString glowHex(AchievementTier tier)
{
    return families().value(tier).glow;
}

const QList<QList<Blob>>& variations(AchievementTier tier)
{
    return families().find(tier)->variations;
}

Palette palette(AchievementTier tier, const QString& achievementId)
{
    const QList<QList<Blob>>& all = variations(tier);
    const QList<Blob>& chosen = all[hashIdx(achievementId, int(all.size()))];
    return Palette{chosen.last().color, chosen};
}

QString sfSymbol(const QString& phosphor)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("lock-simple"), QStringLiteral("lock.fill")},
        {QStringLiteral("number-circle-one"), QStringLiteral("1.circle.fill")},
        {QStringLiteral("number-circle-two"), QStringLiteral("2.circle.fill")},
        {QStringLiteral("number-circle-three"), QStringLiteral("3.circle.fill")},
        {QStringLiteral("number-circle-four"), QStringLiteral("4.circle.fill")},
        {QStringLiteral("number-circle-five"), QStringLiteral("5.circle.fill")},
        {QStringLiteral("number-circle-six"), QStringLiteral("6.circle.fill")},
        {QStringLiteral("pencil-simple"), QStringLiteral("pencil")},
        {QStringLiteral("lightning"), QStringLiteral("bolt.fill")},
        {QStringLiteral("rocket-launch"), QStringLiteral("paperplane.fill")},
        {QStringLiteral("medal"), QStringLiteral("rosette")},
        {QStringLiteral("crown"), QStringLiteral("crown.fill")},
        {QStringLiteral("clock"), QStringLiteral("clock.fill")},
        {QStringLiteral("sun"), QStringLiteral("sun.max.fill")},
        {QStringLiteral("calendar"), QStringLiteral("calendar")},
        {QStringLiteral("hourglass"), QStringLiteral("hourglass")},
        {QStringLiteral("bookmark-simple"), QStringLiteral("bookmark.fill")},
        {QStringLiteral("stack"), QStringLiteral("square.stack.3d.up.fill")},
        {QStringLiteral("books"), QStringLiteral("books.vertical.fill")},
        {QStringLiteral("archive"), QStringLiteral("archivebox.fill")},
        {QStringLiteral("folder"), QStringLiteral("folder.fill")},
        {QStringLiteral("folders"), QStringLiteral("folder.fill.badge.plus")},
        {QStringLiteral("tree-structure"), QStringLiteral("list.bullet.indent")},
        {QStringLiteral("paint-bucket"), QStringLiteral("paintbrush.fill")},
        {QStringLiteral("image"), QStringLiteral("photo.fill")},
        {QStringLiteral("images"), QStringLiteral("photo.stack.fill")},
        {QStringLiteral("flame"), QStringLiteral("flame.fill")},
        {QStringLiteral("campfire"), QStringLiteral("flame.fill")},
        {QStringLiteral("trophy"), QStringLiteral("trophy.fill")},
        {QStringLiteral("medal-military"), QStringLiteral("medal.fill")},
        {QStringLiteral("export"), QStringLiteral("square.and.arrow.up.fill")},
        {QStringLiteral("download-simple"), QStringLiteral("arrow.down.circle.fill")},
        {QStringLiteral("magnifying-glass"), QStringLiteral("magnifyingglass")},
        {QStringLiteral("check-square"), QStringLiteral("checkmark.square.fill")},
        {QStringLiteral("devices"), QStringLiteral("macbook.and.iphone")},
        {QStringLiteral("pen-nib"), QStringLiteral("pencil.tip")},
        {QStringLiteral("coffee"), QStringLiteral("cup.and.saucer.fill")},
        {QStringLiteral("moon-stars"), QStringLiteral("moon.stars.fill")},
        {QStringLiteral("gauge"), QStringLiteral("gauge.high")},
    };
    return table.value(phosphor, QStringLiteral("trophy.fill"));
}

} // namespace AchievementArt
