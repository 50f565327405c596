#pragma once

#include "Models/UserData.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <random>

// The library the scale benchmarks measure with: `shortcuts` shortcuts in 200 folders nested
// up to four deep (the first holding a tenth of them), with texts of 20 to 2,000 characters,
// the same for every run.
namespace GeneratedLibrary {

inline constexpr int folderCount = 200;
inline constexpr int maxDepth = 4;

inline const QStringList& words()
{
    static const QStringList list = {QStringLiteral("invoice"), QStringLiteral("thanks"), QStringLiteral("patient"),
        QStringLiteral("Regards"), QStringLiteral("meeting"), QStringLiteral("schedule"), QStringLiteral("the"),
        QStringLiteral("with"), QStringLiteral("please"), QStringLiteral("Monday"), QStringLiteral("address"),
        QStringLiteral("order"), QStringLiteral("shipping"), QStringLiteral("refund"), QStringLiteral("a"),
        QStringLiteral("to"), QStringLiteral("support"), QStringLiteral("follow-up"), QStringLiteral("dose"),
        QStringLiteral("translation"), QStringLiteral("and"), QStringLiteral("of"), QStringLiteral("ticket")};
    return list;
}

inline UserData generate(int shortcuts)
{
    const QStringList& words = GeneratedLibrary::words();
    std::mt19937 random(20261207);
    UserData data = UserData::empty();
    QList<int> depth;
    for (int f = 0; f < folderCount; ++f) {
        Group folder;
        folder.id = QStringLiteral("F0000000-0000-4000-8000-%1").arg(f, 12, 10, QLatin1Char('0'));
        folder.name = QStringLiteral("%1 %2").arg(words[f % words.size()]).arg(f);
        folder.visibility = QStringLiteral("private");
        int level = 1;
        if (f >= 12) {
            int parent = int(random() % f);
            while (depth[parent] >= maxDepth)
                parent = int(random() % f);
            folder.parentGroupId = data.groups[parent].id;
            level = depth[parent] + 1;
        }
        folder.order = f;
        depth.append(level);
        data.groups.append(folder);
    }
    for (int i = 0; i < shortcuts; ++i) {
        Shortcut shortcut;
        shortcut.id = QStringLiteral("5C000000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        shortcut.trigger = QStringLiteral(";%1%2").arg(words[i % words.size()].left(3)).arg(i);
        const int length = 20 + int(random() % 1981);
        QString text;
        text.reserve(length + 16);
        while (text.size() < length) {
            text += words[random() % words.size()];
            text += random() % 12 == 0 ? QStringLiteral(".\n") : QStringLiteral(" ");
        }
        text.truncate(length);
        shortcut.expansion = text;
        // A tenth in the first folder, so that opening one large folder is measured.
        const int place = i % 10 == 0 ? 0 : int(random() % (folderCount + 1));
        if (place < folderCount)
            shortcut.groupId = data.groups[place].id;
        shortcut.order = i;
        data.shortcuts.append(shortcut);
    }
    return data;
}

}
