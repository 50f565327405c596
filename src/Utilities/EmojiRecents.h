#pragma once

#include <QString>
#include <QStringList>

// The emoji the user picked most recently, newest first, kept in the user settings under
// "velmora_recent_emoji". Not part of the library, so it is neither backed up nor synced.
class EmojiRecents {
public:
    static constexpr int maxCount = 24;
    static QString settingsKey();

    // The stored list as it is, whatever its length; empty when the stored value is not a
    // list of texts.
    static QStringList load();

    // Moves `emoji` to the front (adding it when new) and keeps the newest maxCount. An empty
    // text is ignored.
    static void remember(const QString& emoji);
};
