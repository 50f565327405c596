#pragma once

#include "Models/PerShortcutStat.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The statistics' counts by shortcut id. A copy of the statistics is kept beside the current
// one for every change (what a failed write puts back, the value on its way to the disk), so
// a single map would be copied whole by each expansion once a user has used many shortcuts.
// The entries are spread over many small maps by a hash of the id instead: a change copies
// the one small map it touches, and copies share the rest.
class PerShortcutStats {
public:
    PerShortcutStats() = default;
    explicit PerShortcutStats(const QMap<QString, PerShortcutStat>& byId);

    bool isEmpty() const { return m_size == 0; }
    qsizetype size() const { return m_size; }
    bool contains(const QString& id) const;
    PerShortcutStat value(const QString& id) const;
    // The entry to change in place; nullptr when there is none.
    PerShortcutStat* find(const QString& id);
    void insert(const QString& id, const PerShortcutStat& stat);
    // The entry, made empty when there was none.
    PerShortcutStat& operator[](const QString& id);

    // In ascending id order, as they are written.
    QStringList keys() const;
    QMap<QString, PerShortcutStat> toMap() const;

private:
    using Part = QMap<QString, PerShortcutStat>;
    static constexpr qsizetype partCount = 256;
    static qsizetype partOf(const QString& id);
    const Part* partFor(const QString& id) const;
    Part& writablePartFor(const QString& id);

    // Empty until the first entry, then `partCount` maps.
    QList<Part> m_parts;
    qsizetype m_size = 0;
};
