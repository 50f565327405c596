#pragma once

#include "Models/UserData.h"
#include "Persistence/PromptTextImport.h"

#include <QString>
#include <gtest/gtest.h>
#include <optional>

// Small builders for library records in tests.
namespace LibraryFixtures {

inline Group folder(
    const QString& id, const QString& name, std::optional<QString> parent = std::nullopt, qint64 order = 0)
{
    Group g;
    g.id = id;
    g.name = name;
    g.parentGroupId = std::move(parent);
    g.order = order;
    return g;
}

inline Shortcut shortcut(
    const QString& id, const QString& trigger, std::optional<QString> groupId = std::nullopt, qint64 order = 0)
{
    return Shortcut{id, trigger, QStringLiteral("text of ") + trigger, std::move(groupId), order, std::nullopt};
}

inline Tombstone tombstone(const QString& id)
{
    return Tombstone{id, QStringLiteral("2025-03-01T09:30:00Z")};
}

// The shortcut of `library` with `trigger`; a test failure when there is none.
inline const Shortcut* shortcutWithTrigger(const UserData& library, const QString& trigger)
{
    for (const Shortcut& s : library.shortcuts) {
        if (s.trigger == trigger)
            return &s;
    }
    ADD_FAILURE() << "no shortcut with trigger " << trigger.toStdString();
    return nullptr;
}

} // namespace LibraryFixtures

namespace PromptTextImport {
inline void PrintTo(const RenamedTrigger& r, std::ostream* out)
{
    *out << r.original.toStdString() << " -> " << r.imported.toStdString();
}
} // namespace PromptTextImport
