#pragma once

#include "Models/Shortcut.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <unordered_map>

// The usable triggers and the tail of what the user has just typed. The engine feeds it the
// characters of every accepted key-down; when the typed text ends with a trigger it hands
// back that trigger and its expansion. Characters are user-perceived characters (extended
// grapheme clusters) and texts compare under canonical equivalence. Main thread only.
class ExpansionMatcher {
public:
    struct Entry {
        QString trigger;
        CompactText expansion;
        // Of the one shortcut using the trigger: what it was is known without looking through
        // the library again.
        QString shortcutId;

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // Takes the triggers of the library and empties the buffer. A trigger used by two or
    // more shortcuts is dropped for all of them, as are empty triggers and triggers with
    // control, line-separator or paragraph-separator characters. After an edit of a few
    // shortcuts only those are looked at again: the shortcuts the edit did not touch still
    // share their texts with the list seen last.
    void update(const QList<Shortcut>& shortcuts);

    // Adds the characters of one key-down; answers the trigger the buffer now ends with,
    // the longest when several do, and empties the buffer then.
    std::optional<Entry> append(const QString& text);

    // Whether append(text) would answer a trigger now, or would on an empty buffer.
    bool wouldMatch(const QString& text) const;

    // Whether the buffer with `text` added ends with the beginning of some trigger (a whole
    // trigger included). When it does not, nothing typed so far can be part of a later
    // match, and a key typing `text` needs no look at the field.
    bool mayContinue(const QString& text) const;

    // Whether update(shortcuts) would read every trigger again rather than follow an edit.
    bool wouldRebuild(const QList<Shortcut>& shortcuts) const;

    // The typing reset empties only the buffer; the triggers stay.
    void clearBuffer() { m_buffer.clear(); }

    // In match order: longer triggers first, equal lengths by Unicode scalar values.
    QList<Entry> entries() const;
    const QString& buffer() const { return m_buffer; }
    // Of the longest trigger, in characters; 0 without triggers.
    qint64 maximumLength() const { return m_slots.isEmpty() ? 0 : m_slots.first().length; }

private:
    // A usable trigger in match order, with what ordering and finding it takes; its entry is
    // kept once, in the index.
    struct Slot {
        QString canonical;
        QString key;
        qsizetype length;
    };

    static bool hasEditingControls(QStringView text);
    // The buffer's characters with `text` added, cut to the longest trigger.
    QStringList tail(const QString& text) const;
    std::optional<Entry> find(const QStringList& characters) const;
    static bool precedes(const Slot& a, const Slot& b);
    static Slot slotFor(const Shortcut& shortcut, const QString& canonical);
    static Entry entryFor(const Shortcut& shortcut);
    void rebuild(const QList<Shortcut>& shortcuts);
    // False when the change is too large to follow item by item.
    bool follow(const QList<Shortcut>& shortcuts);
    // The run of `shortcuts` that differs from the list seen last: its unchanged beginning
    // and end.
    struct Edit {
        qsizetype head = 0;
        qsizetype tail = 0;
    };
    Edit editFrom(const QList<Shortcut>& shortcuts) const;
    bool followable(const QList<Shortcut>& shortcuts, const Edit& edit) const;
    void removeSlot(const QString& canonical);
    void insertSlot(Slot slot, Entry entry);

    // Finds the entry whose trigger is the last k characters of the buffer, for each k from
    // the longest down, instead of testing every entry against the buffer: the first entry
    // in match order that the buffer ends with is the longest one, and two entries of one
    // length cannot both match because their triggers would be equal.
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(QStringView key) const { return qHash(key); }
    };
    std::unordered_map<QString, Entry, KeyHash, std::equal_to<>> m_index;
    // Every trigger's key, in the order of their UTF-16 units. The keys that begin with a
    // run of whole characters follow one another, and since the separator is the least unit,
    // one that ends there or goes on to another character comes first among them. (A set of
    // every beginning of every key would take several times the memory in a large library.)
    QList<QString> m_sortedKeys;
    bool beginsSomeKey(QStringView beginning) const;

    QList<Slot> m_slots;
    // The list last seen, each trigger's canonical form by position, and how many
    // shortcuts use each canonical trigger.
    QList<Shortcut> m_source;
    QList<QString> m_canonical;
    QHash<QString, int> m_uses;
    QString m_buffer;
};
