#include "Engine/ExpansionMatcher.h"

#include "Utilities/Text.h"

#include <QSet>
#include <algorithm>
#include <utility>

namespace {

// Characters are compared one by one under canonical equivalence, so the key of a text is
// the canonical form of each of its characters, separated by a character no trigger and no
// buffer can hold. Keys of equal texts are equal, and a key's separators tell its length.
constexpr QChar keySeparator = u'\0';

QStringList canonicalCharacters(const QStringList& characters)
{
    QStringList canonical;
    canonical.reserve(characters.size());
    for (const QString& character : characters)
        canonical.append(Text::canonical(character));
    return canonical;
}

// UTF-16 units in the order of the scalar values they encode: surrogates (U+D800..U+DFFF,
// beyond U+FFFF) move above U+E000..U+FFFF, which is all that differs.
char16_t inScalarOrder(char16_t unit)
{
    if (unit >= 0xE000)
        return char16_t(unit - 0x800);
    if (unit >= 0xD800)
        return char16_t(unit + 0x2000);
    return unit;
}

bool scalarValueLess(QStringView a, QStringView b)
{
    return std::lexicographical_compare(a.utf16(), a.utf16() + a.size(), b.utf16(), b.utf16() + b.size(),
        [](char16_t x, char16_t y) { return inScalarOrder(x) < inScalarOrder(y); });
}

} // namespace

bool ExpansionMatcher::hasEditingControls(QStringView text)
{
    for (uint scalar : text.toUcs4()) {
        switch (QChar::category(scalar)) {
        case QChar::Other_Control:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph: return true;
        default: break;
        }
    }
    return false;
}

bool ExpansionMatcher::precedes(const Slot& a, const Slot& b)
{
    if (a.length != b.length)
        return a.length > b.length;
    return scalarValueLess(a.canonical, b.canonical);
}

ExpansionMatcher::Slot ExpansionMatcher::slotFor(const Shortcut& shortcut, const QString& canonical)
{
    const QStringList characters = Text::graphemes(shortcut.trigger);
    return Slot{canonical, canonicalCharacters(characters).join(keySeparator), characters.size()};
}

ExpansionMatcher::Entry ExpansionMatcher::entryFor(const Shortcut& shortcut)
{
    return Entry{shortcut.trigger, shortcut.expansion, shortcut.id};
}

QList<ExpansionMatcher::Entry> ExpansionMatcher::entries() const
{
    QList<Entry> result;
    result.reserve(m_slots.size());
    for (const Slot& slot : m_slots)
        result.append(m_index.at(slot.key));
    return result;
}

void ExpansionMatcher::update(const QList<Shortcut>& shortcuts)
{
    m_buffer.clear();
    if (m_source.isSharedWith(shortcuts) || follow(shortcuts))
        return;
    rebuild(shortcuts);
}

void ExpansionMatcher::rebuild(const QList<Shortcut>& shortcuts)
{
    m_source = shortcuts;
    m_canonical.clear();
    m_canonical.reserve(shortcuts.size());
    m_uses.clear();
    for (const Shortcut& shortcut : shortcuts) {
        m_canonical.append(Text::canonical(shortcut.trigger));
        ++m_uses[m_canonical.last()];
    }
    std::vector<Slot> kept;
    m_index.clear();
    for (qsizetype i = 0; i < shortcuts.size(); ++i) {
        const Shortcut& shortcut = shortcuts[i];
        if (m_uses.value(m_canonical[i]) != 1 || shortcut.trigger.isEmpty() || hasEditingControls(shortcut.trigger))
            continue;
        kept.push_back(slotFor(shortcut, m_canonical[i]));
        m_index.emplace(kept.back().key, entryFor(shortcut));
    }
    std::stable_sort(kept.begin(), kept.end(), precedes);
    m_slots.clear();
    m_sortedKeys.clear();
    m_slots.reserve(qsizetype(kept.size()));
    m_sortedKeys.reserve(qsizetype(kept.size()));
    for (Slot& slot : kept) {
        m_sortedKeys.append(slot.key);
        m_slots.append(std::move(slot));
    }
    std::sort(m_sortedKeys.begin(), m_sortedKeys.end());
}

namespace {

bool sameTexts(const Shortcut& a, const Shortcut& b)
{
    auto same
        = [](const QString& x, const QString& y) { return x.constData() == y.constData() && x.size() == y.size(); };
    return same(a.trigger, b.trigger) && a.expansion.isSharedWith(b.expansion);
}

// Beyond this many shortcuts added, removed or changed, a rebuild is as quick.
constexpr qsizetype followLimit = 64;

} // namespace

ExpansionMatcher::Edit ExpansionMatcher::editFrom(const QList<Shortcut>& shortcuts) const
{
    // The edit lies between the longest unchanged beginning and end of the list.
    const qsizetype before = m_source.size();
    const qsizetype after = shortcuts.size();
    Edit edit;
    while (edit.head < before && edit.head < after && sameTexts(m_source[edit.head], shortcuts[edit.head]))
        ++edit.head;
    while (edit.tail < before - edit.head && edit.tail < after - edit.head
        && sameTexts(m_source[before - 1 - edit.tail], shortcuts[after - 1 - edit.tail]))
        ++edit.tail;
    return edit;
}

bool ExpansionMatcher::followable(const QList<Shortcut>& shortcuts, const Edit& edit) const
{
    const qsizetype removed = m_source.size() - edit.head - edit.tail;
    const qsizetype added = shortcuts.size() - edit.head - edit.tail;
    return removed + added <= followLimit;
}

bool ExpansionMatcher::wouldRebuild(const QList<Shortcut>& shortcuts) const
{
    return !m_source.isSharedWith(shortcuts) && !followable(shortcuts, editFrom(shortcuts));
}

bool ExpansionMatcher::follow(const QList<Shortcut>& shortcuts)
{
    const Edit edit = editFrom(shortcuts);
    if (!followable(shortcuts, edit))
        return false;
    const qsizetype head = edit.head;
    const qsizetype removed = m_source.size() - edit.head - edit.tail;
    const qsizetype added = shortcuts.size() - edit.head - edit.tail;

    QSet<QString> touched;
    for (qsizetype i = head; i < head + removed; ++i) {
        touched.insert(m_canonical[i]);
        if (--m_uses[m_canonical[i]] == 0)
            m_uses.remove(m_canonical[i]);
    }
    m_canonical.remove(head, removed);
    for (qsizetype i = head; i < head + added; ++i) {
        const QString canonical = Text::canonical(shortcuts[i].trigger);
        m_canonical.insert(i, canonical);
        ++m_uses[canonical];
        touched.insert(canonical);
    }
    m_source = shortcuts;
    // A touched trigger may have lost its only shortcut, gained a second one, or be left to
    // exactly one, which may be a shortcut the edit did not touch.
    for (const QString& canonical : std::as_const(touched)) {
        removeSlot(canonical);
        if (m_uses.value(canonical) != 1)
            continue;
        const qsizetype owner = m_canonical.indexOf(canonical);
        const Shortcut& shortcut = shortcuts[owner];
        if (!shortcut.trigger.isEmpty() && !hasEditingControls(shortcut.trigger))
            insertSlot(slotFor(shortcut, canonical), entryFor(shortcut));
    }
    return true;
}

void ExpansionMatcher::removeSlot(const QString& canonical)
{
    const auto slot
        = std::find_if(m_slots.cbegin(), m_slots.cend(), [&](const Slot& s) { return s.canonical == canonical; });
    if (slot == m_slots.cend())
        return;
    m_index.erase(slot->key);
    const auto key = std::lower_bound(m_sortedKeys.cbegin(), m_sortedKeys.cend(), slot->key);
    if (key != m_sortedKeys.cend() && *key == slot->key)
        m_sortedKeys.erase(key);
    m_slots.erase(slot);
}

void ExpansionMatcher::insertSlot(Slot slot, Entry entry)
{
    m_index.emplace(slot.key, std::move(entry));
    m_sortedKeys.insert(std::upper_bound(m_sortedKeys.cbegin(), m_sortedKeys.cend(), slot.key), slot.key);
    const auto place = std::upper_bound(m_slots.cbegin(), m_slots.cend(), slot, precedes);
    m_slots.insert(place, std::move(slot));
}

bool ExpansionMatcher::beginsSomeKey(QStringView beginning) const
{
    // The least key not below the beginning is, of the keys it begins, one where a character
    // ends with it, if any is.
    const auto key = std::lower_bound(m_sortedKeys.cbegin(), m_sortedKeys.cend(), beginning,
        [](const QString& a, QStringView b) { return QStringView(a).compare(b) < 0; });
    return key != m_sortedKeys.cend() && key->startsWith(beginning)
        && (key->size() == beginning.size() || key->at(beginning.size()) == keySeparator);
}

bool ExpansionMatcher::mayContinue(const QString& text) const
{
    if (maximumLength() < 1 || text.isEmpty() || hasEditingControls(text))
        return false;
    const QStringList canonical = canonicalCharacters(tail(text));
    const QString key = canonical.join(keySeparator);
    qsizetype start = 0;
    for (const QString& character : canonical) {
        if (beginsSomeKey(QStringView(key).mid(start)))
            return true;
        start += character.size() + 1;
    }
    return false;
}

QStringList ExpansionMatcher::tail(const QString& text) const
{
    // A key's characters can join the last character typed (a combining accent), so the
    // characters are found afresh over the whole buffer.
    QStringList characters = Text::graphemes(QString(m_buffer + text));
    if (characters.size() > maximumLength())
        characters.remove(0, characters.size() - maximumLength());
    return characters;
}

std::optional<ExpansionMatcher::Entry> ExpansionMatcher::find(const QStringList& characters) const
{
    const QStringList canonical = canonicalCharacters(characters);
    const QString key = canonical.join(keySeparator);
    qsizetype start = 0;
    for (const QString& character : canonical) {
        const auto found = m_index.find(QStringView(key).mid(start));
        if (found != m_index.end())
            return found->second;
        start += character.size() + 1;
    }
    return std::nullopt;
}

bool ExpansionMatcher::wouldMatch(const QString& text) const
{
    return maximumLength() >= 1 && !text.isEmpty() && !hasEditingControls(text) && find(tail(text));
}

std::optional<ExpansionMatcher::Entry> ExpansionMatcher::append(const QString& text)
{
    if (maximumLength() < 1 || text.isEmpty() || hasEditingControls(text)) {
        m_buffer.clear();
        return std::nullopt;
    }
    const QStringList characters = tail(text);
    m_buffer = characters.join(QString());
    std::optional<Entry> found = find(characters);
    if (found)
        m_buffer.clear();
    return found;
}
