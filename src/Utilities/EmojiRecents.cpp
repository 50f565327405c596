#include "Utilities/EmojiRecents.h"

#include <QSettings>
#include <QVariant>

QString EmojiRecents::settingsKey()
{
    return QStringLiteral("velmora_recent_emoji");
}

QStringList EmojiRecents::load()
{
    const QVariant value = QSettings().value(settingsKey());
    // The INI back end writes a one-element list as a plain value and reads it back as a
    // string, so a string is the list of its one emoji.
    if (value.typeId() == QMetaType::QString)
        return value.toString().isEmpty() ? QStringList() : QStringList{value.toString()};
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList();
    if (value.typeId() != QMetaType::QVariantList)
        return {};
    QStringList emoji;
    for (const QVariant& element : value.toList()) {
        if (element.typeId() != QMetaType::QString)
            return {};
        emoji.append(element.toString());
    }
    return emoji;
}

void EmojiRecents::remember(const QString& emoji)
{
    if (emoji.isEmpty())
        return;
    QStringList emojis = load();
    emojis.removeAll(emoji);
    emojis.prepend(emoji);
    if (emojis.size() > maxCount)
        emojis.resize(maxCount);
    QSettings().setValue(settingsKey(), emojis);
}
