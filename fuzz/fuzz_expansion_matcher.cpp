// Typed text and library triggers are arbitrary Unicode: the matcher must neither crash nor
// break its promises for any of it.
//
// Input (UTF-8): triggers one per line, an empty line, then the typed keys separated by "|".

#include "Engine/ExpansionMatcher.h"
#include "Utilities/Text.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

bool endsWithCharacters(const QString& text, const QString& suffix)
{
    const QStringList characters = Text::graphemes(text);
    const QStringList wanted = Text::graphemes(suffix);
    if (wanted.size() > characters.size())
        return false;
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        if (!Text::equal(characters.at(characters.size() - wanted.size() + i), wanted.at(i)))
            return false;
    }
    return true;
}

// How many characters of `text`, as found in the whole of it, make up its last `units` code
// units; -1 when that end does not start on a character boundary.
qsizetype charactersAtEnd(const QString& text, qsizetype units)
{
    const QStringList characters = Text::graphemes(text);
    qsizetype covered = 0;
    qsizetype count = 0;
    for (qsizetype i = characters.size() - 1; i >= 0 && covered < units; --i, ++count)
        covered += characters.at(i).size();
    return covered == units ? count : -1;
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype split = input.indexOf(QStringLiteral("\n\n"));
    const QStringList triggers = input.left(split < 0 ? input.size() : split).split(u'\n');
    const QString typed = split < 0 ? QString() : input.mid(split + 2);

    QList<Shortcut> shortcuts;
    for (const QString& trigger : triggers)
        shortcuts.append(Shortcut{QString::number(shortcuts.size()), trigger, trigger, std::nullopt, 0, std::nullopt});
    ExpansionMatcher matcher;
    matcher.update(shortcuts);

    qint64 previousLength = std::numeric_limits<qint64>::max();
    for (const ExpansionMatcher::Entry& entry : matcher.entries()) {
        const qint64 length = Text::graphemeCount(entry.trigger);
        require(!entry.trigger.isEmpty() && length <= previousLength && length <= matcher.maximumLength());
        previousLength = length;
    }

    for (const QString& key : typed.split(u'|')) {
        const QString typedSoFar = matcher.buffer() + key;
        const std::optional<ExpansionMatcher::Entry> match = matcher.append(key);
        // The buffer keeps the last characters as found in the whole typed text; Qt's
        // character breaks for some scripts differ once the text in front is cut off, so
        // its own count can differ, but it is always the end of what was typed and no
        // more characters than the longest trigger.
        require(typedSoFar.endsWith(matcher.buffer()));
        const qsizetype kept = charactersAtEnd(typedSoFar, matcher.buffer().size());
        require(kept >= 0 && kept <= matcher.maximumLength());
        if (match) {
            require(matcher.buffer().isEmpty());
            require(matcher.entries().contains(*match));
            require(endsWithCharacters(typedSoFar, match->trigger));
        }
    }
    return 0;
}
