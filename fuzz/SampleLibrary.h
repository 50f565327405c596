#pragma once

#include "Models/UserData.h"

#include <cstdlib>

// A small current library for the fuzz targets to merge into: its ids, names and triggers
// are short and plain so that fuzzed inputs run into them often.
inline UserData sampleLibrary()
{
    UserData d;
    Group work{QStringLiteral("G1"), QStringLiteral("Work"), std::nullopt, 0, false, QStringLiteral("custom:I1"),
        QStringLiteral("#fff"), QStringLiteral("private"), std::nullopt};
    Group mail{QStringLiteral("G2"), QStringLiteral("Mail"), QStringLiteral("G1"), 1, true, std::nullopt, std::nullopt,
        std::nullopt, std::nullopt};
    d.groups = {work, mail};
    d.shortcuts = {Shortcut{QStringLiteral("S1"), QStringLiteral("/a"), QStringLiteral("x"), QStringLiteral("G2"), 0,
                       std::nullopt},
        Shortcut{QStringLiteral("S2"), QStringLiteral("/a(2)"), QStringLiteral("y"), std::nullopt, 9223372036854775807,
            true}};
    d.customIcons = {CustomIcon{QStringLiteral("I1"), QStringLiteral("i"), QStringLiteral("<svg/>")}};
    // Several markers of each kind, out of the order they are written in.
    d.deletedIds.groups
        = {Tombstone{QStringLiteral("G4"), QStringLiteral("t")}, Tombstone{QStringLiteral("G3"), QStringLiteral("t")}};
    d.deletedIds.shortcuts
        = {Tombstone{QStringLiteral("S4"), QStringLiteral("t")}, Tombstone{QStringLiteral("S3"), QStringLiteral("u")}};
    d.deletedIds.customIcons
        = {Tombstone{QStringLiteral("I3"), QStringLiteral("t")}, Tombstone{QStringLiteral("I2"), QStringLiteral("t")}};
    return d;
}

inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
