#include "Engine/ExpansionMatcher.h"

#include "Utilities/Text.h"

#include <QHash>
#include <algorithm>

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

bool scalarValueLess(const QList<uint>& a, const QList<uint>& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

} // namespace

bool ExpansionMatcher::hasEditingControls(QStringView text)
{
    for (uint scalar : text.toUcs4()) {
        switch (QChar::category(scalar)) {
        case QChar::Other_Control:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            break;
        }
    }
    return false;
}

void ExpansionMatcher::update(const QList<Shortcut>& shortcuts)
{
    QHash<QString, int> uses;
    for (const Shortcut& shortcut : shortcuts)
        ++uses[Text::canonical(shortcut.trigger)];

    struct Candidate {
        Entry entry;
        QStringList characters;
        QList<uint> scalars;
    };
    std::vector<Candidate> kept;
    for (const Shortcut& shortcut : shortcuts) {
        if (uses.value(Text::canonical(shortcut.trigger)) != 1 || shortcut.trigger.isEmpty()
            || hasEditingControls(shortcut.trigger))
            continue;
        const QString canonical = Text::canonical(shortcut.trigger);
        kept.push_back(Candidate{Entry{shortcut.trigger, shortcut.expansion}, Text::graphemes(shortcut.trigger),
            canonical.toUcs4()});
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Candidate& a, const Candidate& b) {
        if (a.characters.size() != b.characters.size())
            return a.characters.size() > b.characters.size();
        return scalarValueLess(a.scalars, b.scalars);
    });

    m_entries.clear();
    m_index.clear();
    m_entries.reserve(qsizetype(kept.size()));
    for (const Candidate& candidate : kept) {
        m_index.emplace(canonicalCharacters(candidate.characters).join(keySeparator), m_entries.size());
        m_entries.append(candidate.entry);
    }
    m_maximumLength = kept.empty() ? 0 : kept.front().characters.size();
    m_buffer.clear();
}

QStringList ExpansionMatcher::tail(const QString& text) const
{
    // A key's characters can join the last character typed (a combining accent), so the
    // characters are found afresh over the whole buffer.
    QStringList characters = Text::graphemes(QString(m_buffer + text));
    if (characters.size() > m_maximumLength)
        characters.remove(0, characters.size() - m_maximumLength);
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
            return m_entries.at(found->second);
        start += character.size() + 1;
    }
    return std::nullopt;
}

bool ExpansionMatcher::wouldMatch(const QString& text) const
{
    return m_maximumLength >= 1 && !text.isEmpty() && !hasEditingControls(text) && find(tail(text));
}

std::optional<ExpansionMatcher::Entry> ExpansionMatcher::append(const QString& text)
{
    if (m_maximumLength < 1 || text.isEmpty() || hasEditingControls(text)) {
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
