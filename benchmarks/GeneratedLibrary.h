#pragma once

#include "Models/UserData.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <random>

// The library the scale benchmarks measure with: `shortcuts` shortcuts in 200 folders nested
// up to four deep (the first holding a tenth of them), with texts of 20 to 2,000 characters,
// the same for every run. In the `Words::mixed` library about 15 % of the words are not plain
// ASCII (accents, sharp s, emoji, CJK, Greek) and nearly nine shortcuts in ten hold one; the
// `Words::ascii` library is the same library with those words left out: the same lengths,
// folders, order and ASCII words.
namespace GeneratedLibrary {

enum class Words { ascii, mixed };

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

inline const QStringList& otherWords()
{
    static const QStringList list = {QStringLiteral("caf\u00E9"), QStringLiteral("Stra\u00DFe"),
        QStringLiteral("na\u00EFve"), QStringLiteral("r\u00E9sum\u00E9"), QStringLiteral("\u00FCber"),
        QStringLiteral("se\u00F1or"), QStringLiteral("\u00C5ngstr\u00F6m"), QStringLiteral("gr\u00FC\u00DFe"),
        QStringLiteral("\U0001F600"), QStringLiteral("\U0001F44D\U0001F3FD"), QStringLiteral("\u2764\uFE0F"),
        QStringLiteral("\u6771\u4EAC"), QStringLiteral("\u3042\u308A\u304C\u3068\u3046"),
        QStringLiteral("\uC548\uB155"), QStringLiteral("\u03B1\u03B8\u03AE\u03BD\u03B1"),
        QStringLiteral("\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1"), QStringLiteral("\u2014"),
        QStringLiteral("\u20AC12")};
    return list;
}

inline UserData generate(int shortcuts, Words kind = Words::ascii)
{
    const QStringList& words = GeneratedLibrary::words();
    const QStringList& others = otherWords();
    std::mt19937 random(20261207);
    std::mt19937 otherRandom(20261210);
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
        // Three shortcuts in 25 are plain ASCII in both libraries. The other words are drawn
        // from a generator of their own and the ASCII text is made in full either way, so that
        // both libraries take the same random draws.
        const bool mixed = kind == Words::mixed && i % 25 >= 3;
        QString plain;
        QString text;
        plain.reserve(length + 16);
        while (plain.size() < length) {
            while (mixed && otherRandom() % 100 < 17) {
                text += others[otherRandom() % others.size()];
                text += u' ';
            }
            QString word = words[random() % words.size()];
            word += random() % 12 == 0 ? QStringLiteral(".\n") : QStringLiteral(" ");
            plain += word;
            if (mixed)
                text += word;
        }
        if (!mixed)
            text = plain;
        text.truncate(length);
        // Never half of a surrogate pair.
        if (text.back().isHighSurrogate())
            text.chop(1);
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
