#include "Persistence/PromptTextImport.h"

#include "Models/FolderIconCatalog.h"
#include "Models/TriggerNumbering.h"
#include "Persistence/IdReservation.h"
#include "Persistence/SiblingOrders.h"
#include "Utilities/Text.h"
#include "Utilities/Uuid.h"

#include <QHash>
#include <QPair>
#include <optional>

namespace PromptTextImport {

QString Failure::errorDescription() const
{
    const QString n = QString::number(m_line);
    switch (m_kind) {
    case Kind::invalidLine: return u"Unrecognized text on line " + n + u". Nothing was imported.";
    case Kind::emptyShortcut:
        return u"The shortcut on line " + n + u" needs both a trigger and expansion. Nothing was imported.";
    case Kind::invalidFolder: return u"The folder path on line " + n + u" is incomplete. Nothing was imported.";
    case Kind::noPresets: break;
    }
    return QStringLiteral("No Velmora shortcuts or folders found. Copy a preset or group, not only its prompt text.");
}

namespace {

    constexpr QChar arrow = u'\u2192';
    constexpr QStringView closingLine = u"\u2500";

    // "White space" in this format is spaces and tabs only; line breaks and other separators
    // count as text.
    bool isSpaceOrTab(QChar c)
    {
        return c == u'\t' || c.category() == QChar::Separator_Space;
    }

    // Text::trimmed for views, with the choice of what counts as space: lines are trimmed
    // where they lie in the pasted text instead of being copied one by one.
    template <class IsSpace> QStringView trimmedBy(QStringView text, IsSpace isSpace)
    {
        while (!text.isEmpty() && isSpace(text.front()))
            text = text.sliced(1);
        while (!text.isEmpty() && isSpace(text.back()))
            text.chop(1);
        return text;
    }

    QStringView trimmedOfSpaces(QStringView text)
    {
        return trimmedBy(text, isSpaceOrTab);
    }

    // Trimmed of white space and line breaks.
    QStringView trimmed(QStringView text)
    {
        return trimmedBy(text, [](QChar c) { return c.isSpace(); });
    }

    bool containsSpaceOrTab(QStringView text)
    {
        for (QChar c : text) {
            if (isSpaceOrTab(c))
                return true;
        }
        return false;
    }

    bool isBlockHeader(QStringView line)
    {
        return line == QStringView(&arrow, 1) || line.endsWith(QStringView(u" \u2192"));
    }

    struct InlinePreset {
        QStringView trigger;
        QStringView expansion;
    };

    std::optional<InlinePreset> inlinePreset(QStringView line)
    {
        const qsizetype split = line.indexOf(arrow);
        if (split < 0)
            return std::nullopt;
        const QStringView trigger = trimmedOfSpaces(line.first(split));
        const QStringView expansion = trimmedOfSpaces(line.sliced(split + 1));
        if (trigger.isEmpty() || containsSpaceOrTab(trigger) || expansion.isEmpty())
            return std::nullopt;
        return InlinePreset{trigger, expansion};
    }

    // The parts of `text` between runs of spaces and tabs.
    QList<QStringView> tokens(QStringView text)
    {
        QList<QStringView> out;
        qsizetype start = -1;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool gap = i == text.size() || isSpaceOrTab(text.at(i));
            if (gap && start >= 0) {
                out.append(text.sliced(start, i - start));
                start = -1;
            } else if (!gap && start < 0) {
                start = i;
            }
        }
        return out;
    }

    // A built-in icon's key, or one emoji (what the icon chooser stores). Anything else, such
    // as an icon name of another program, would be drawn as a word in tiny type.
    bool isKnownIcon(QStringView token)
    {
        if (FolderIconCatalog::icons().contains(token.toString()))
            return true;
        if (Text::graphemeCount(token) != 1)
            return false;
        const char32_t first = QStringView(token).toUcs4().value(0);
        return first > 0x7F && !QChar::isLetterOrNumber(first);
    }

    bool isColour(QStringView token)
    {
        if (token.size() < 4 || token.size() > 9 || token.front() != u'#')
            return false;
        for (QChar c : token.sliced(1)) {
            const char16_t u = c.unicode();
            if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
                return false;
        }
        return true;
    }

    // Splits a folder path at each slash; "\/" is a slash and "\\" a backslash inside a name.
    QStringList pathSegments(QStringView path)
    {
        QStringList segments;
        QString segment;
        for (qsizetype i = 0; i < path.size(); ++i) {
            const QChar c = path.at(i);
            if (c == u'\\' && i + 1 < path.size() && (path.at(i + 1) == u'/' || path.at(i + 1) == u'\\')) {
                segment += path.at(++i);
            } else if (c == u'/') {
                segments.append(trimmedOfSpaces(segment).toString());
                segment.clear();
            } else {
                segment += c;
            }
        }
        segments.append(trimmedOfSpaces(segment).toString());
        return segments;
    }

    // Folders by parent and name: a path names one folder, and a read folder with the name and
    // parent of a library folder is that folder. Names compare as canonical text.
    class FoldersByName {
    public:
        std::optional<QString> find(const std::optional<QString>& parent, const QString& name) const
        {
            const auto it = m_ids.constFind(key(parent, name));
            if (it == m_ids.constEnd())
                return std::nullopt;
            return *it;
        }

        // The first folder recorded under a parent and name stays the one found.
        void add(const Group& folder)
        {
            const Key k = key(folder.parentGroupId, folder.name);
            if (!m_ids.contains(k))
                m_ids.insert(k, folder.id);
        }

    private:
        using Key = QPair<QString, QString>;

        // Folder ids are never empty, so the empty text stands for the top level.
        static Key key(const std::optional<QString>& parent, const QString& name)
        {
            return {parent ? Text::canonical(*parent) : QString(), Text::canonical(name)};
        }

        QHash<Key, QString> m_ids;
    };

    // One line of the text, without its line break. Lines are views into the pasted text and
    // nothing is copied per line: a text of millions of short lines costs no more memory than
    // the folders and shortcuts it yields.
    struct Line {
        qsizetype number = 0;
        qsizetype start = 0;
        qsizetype end = 0;
        qsizetype next = -1; // start of the following line; -1 when this is the last one
    };

    // Reads the text front to back in one pass; the only look-ahead (is a line ending with ":"
    // inside a preset a folder?) stops at the next non-blank line, so no line is visited more
    // than twice.
    class PresetReader {
    public:
        explicit PresetReader(QStringView text)
            : m_text(text)
        {
        }

        Parsed read()
        {
            Line line = lineAt(0, 1);
            std::optional<Line> separator;
            for (Line probe = line;; probe = following(probe)) {
                if (trimmed(textOf(probe)) == separatorLine) {
                    separator = probe;
                    break;
                }
                if (probe.next < 0)
                    break;
            }
            m_inline = !separator;
            bool previousBlank = false;
            if (separator) {
                if (separator->next < 0)
                    return finish();
                line = following(*separator);
            }
            for (;; line = following(line)) {
                handle(line, previousBlank);
                previousBlank = trimmed(textOf(line)).isEmpty();
                if (line.next < 0)
                    break;
            }
            return finish();
        }

    private:
        struct OpenPreset {
            QString trigger;
            qsizetype line = 0;
            std::optional<QStringView> firstLine; // an inline preset's expansion
            // The lines after the opening one form one run of the text; the expansion keeps it
            // up to the end of its last line that is not blank.
            qsizetype bodyStart = -1;
            qsizetype bodyEnd = -1;
        };

        Line lineAt(qsizetype start, qsizetype number) const
        {
            Line line{number, start, start, -1};
            while (line.end < m_text.size() && m_text.at(line.end) != u'\n' && m_text.at(line.end) != u'\r')
                ++line.end;
            if (line.end < m_text.size()) {
                const bool crlf
                    = m_text.at(line.end) == u'\r' && line.end + 1 < m_text.size() && m_text.at(line.end + 1) == u'\n';
                line.next = line.end + (crlf ? 2 : 1);
            }
            return line;
        }

        Line following(const Line& line) const { return lineAt(line.next, line.number + 1); }

        QStringView textOf(const Line& line) const { return m_text.sliced(line.start, line.end - line.start); }

        bool nothingRead() const { return m_shortcuts.isEmpty() && !m_open; }

        void handle(const Line& line, bool previousBlank)
        {
            const QStringView text = trimmed(textOf(line));
            if (text == closingLine) {
                finishPreset();
                m_currentFolder.reset();
                return;
            }
            if (isBlockHeader(text)) {
                if (nothingRead())
                    m_inline = false;
                finishPreset();
                m_open = OpenPreset{trimmedOfSpaces(text.chopped(1)).toString(), line.number, std::nullopt, -1, -1};
                return;
            }
            if (m_inline || nothingRead()) {
                if (const auto preset = inlinePreset(text)) {
                    finishPreset();
                    m_open = OpenPreset{preset->trigger.toString(), line.number, preset->expansion, -1, -1};
                    m_inline = true;
                    return;
                }
            }
            if (text.endsWith(u':') && (!m_open || isFolderInsidePreset(line, previousBlank))) {
                finishPreset();
                enterFolder(text, line.number);
                return;
            }
            if (m_open) {
                appendToPreset(line);
                return;
            }
            if (!text.isEmpty())
                throw Failure::invalidLine(line.number);
        }

        // Inside an expansion a line ending with ":" is still text unless it stands apart: a
        // blank line before it, and after it (past blank lines) something that starts an entry
        // or nothing at all.
        bool isFolderInsidePreset(const Line& line, bool previousBlank) const
        {
            if (!previousBlank)
                return false;
            for (Line probe = line; probe.next >= 0;) {
                probe = following(probe);
                const QStringView text = trimmed(textOf(probe));
                if (text.isEmpty())
                    continue;
                return isBlockHeader(text) || text.endsWith(u':') || text == closingLine
                    || (m_inline && inlinePreset(text).has_value());
            }
            return true;
        }

        void appendToPreset(const Line& line)
        {
            if (m_open->bodyStart < 0)
                m_open->bodyStart = line.start;
            if (!trimmedOfSpaces(textOf(line)).isEmpty())
                m_open->bodyEnd = line.end;
        }

        QString expansionOf(const OpenPreset& preset) const
        {
            QString expansion;
            if (preset.firstLine)
                expansion = preset.firstLine->toString();
            if (preset.bodyEnd < 0)
                return expansion;
            if (preset.firstLine)
                expansion += u'\n';
            QString body = m_text.sliced(preset.bodyStart, preset.bodyEnd - preset.bodyStart).toString();
            body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            body.replace(u'\r', u'\n');
            return expansion + body;
        }

        void finishPreset()
        {
            if (!m_open)
                return;
            const QString expansion = expansionOf(*m_open);
            if (m_open->trigger.isEmpty() || Text::trimmed(expansion).isEmpty())
                throw Failure::emptyShortcut(m_open->line);
            Shortcut shortcut;
            shortcut.id = Uuid::generate();
            shortcut.trigger = m_open->trigger;
            shortcut.expansion = expansion;
            shortcut.groupId = m_currentFolder;
            shortcut.order = m_shortcutOrders.next(m_currentFolder);
            m_shortcuts.append(shortcut);
            m_open.reset();
        }

        void enterFolder(QStringView line, qsizetype number)
        {
            const QStringView body = trimmedOfSpaces(line.chopped(1));
            QStringView path = body;
            std::optional<QString> icon;
            std::optional<QString> colour;
            const qsizetype open = body.lastIndexOf(u" [");
            if (body.endsWith(u']') && open >= 0) {
                const QStringView decorations = body.sliced(open + 2, body.size() - 1 - (open + 2));
                for (QStringView token : tokens(decorations)) {
                    if (isColour(token))
                        colour = token.toString();
                    else if (isKnownIcon(token))
                        icon = token.toString();
                }
                path = trimmedOfSpaces(body.first(open));
            }
            const QStringList segments = pathSegments(path);
            for (const QString& segment : segments) {
                if (segment.isEmpty())
                    throw Failure::invalidFolder(number);
            }
            std::optional<QString> parent;
            for (const QString& segment : segments) {
                std::optional<QString> folder = m_folders.find(parent, segment);
                if (!folder)
                    folder = addFolder(segment, parent);
                parent = folder;
            }
            m_currentFolder = parent;
            Group& folder = m_groups[m_folderIndex.value(*parent)];
            if (icon)
                folder.icon = icon;
            if (colour)
                folder.color = colour;
        }

        QString addFolder(const QString& name, const std::optional<QString>& parent)
        {
            Group folder;
            folder.id = Uuid::generate();
            folder.name = name;
            folder.parentGroupId = parent;
            folder.order = m_folderOrders.next(parent);
            folder.visibility = Group::visibilityText(FolderVisibility::privateFolder);
            m_folderIndex.insert(folder.id, m_groups.size());
            m_groups.append(folder);
            m_folders.add(folder);
            return folder.id;
        }

        Parsed finish()
        {
            finishPreset();
            if (m_groups.isEmpty() && m_shortcuts.isEmpty())
                throw Failure::noPresets();
            return Parsed{m_groups, m_shortcuts};
        }

        QStringView m_text;
        bool m_inline = true;
        std::optional<OpenPreset> m_open;
        std::optional<QString> m_currentFolder;
        QList<Group> m_groups;
        QList<Shortcut> m_shortcuts;
        FoldersByName m_folders;
        QHash<QString, qsizetype> m_folderIndex; // id -> position in m_groups
        SiblingOrders m_folderOrders;
        SiblingOrders m_shortcutOrders;
    };

} // namespace

Parsed parse(const QString& text)
{
    return PresetReader(text).read();
}

Plan plan(const Parsed& parsed, const UserData& library)
{
    UserData merged = library;
    FoldersByName folders;
    SiblingOrders folderOrders;
    for (const Group& folder : library.groups) {
        folders.add(folder);
        folderOrders.note(folder.parentGroupId, folder.order);
    }
    IdReservation folderIds = IdReservation::of(library.groups, library.deletedIds.groups);
    QHash<QString, QString> libraryIdOf; // canonical read folder id -> library folder id
    const auto mapped = [&](const std::optional<QString>& readId) -> std::optional<QString> {
        if (!readId)
            return std::nullopt;
        const auto it = libraryIdOf.constFind(Text::canonical(*readId));
        if (it == libraryIdOf.constEnd())
            return std::nullopt;
        return *it;
    };

    for (const Group& read : parsed.groups) {
        const std::optional<QString> parent = mapped(read.parentGroupId);
        if (const std::optional<QString> existing = folders.find(parent, read.name)) {
            libraryIdOf.insert(Text::canonical(read.id), *existing);
            continue;
        }
        Group folder;
        folder.id = folderIds.claimFresh();
        folder.name = read.name;
        folder.parentGroupId = parent;
        folder.order = folderOrders.next(parent);
        folder.collapsed = read.collapsed;
        folder.icon = read.icon;
        folder.color = read.color;
        folder.visibility = Group::visibilityText(FolderVisibility::privateFolder);
        merged.groups.append(folder);
        folders.add(folder);
        libraryIdOf.insert(Text::canonical(read.id), folder.id);
    }

    Plan result;
    SiblingOrders shortcutOrders;
    for (const Shortcut& shortcut : library.shortcuts)
        shortcutOrders.note(shortcut.groupId, shortcut.order);
    IdReservation shortcutIds = IdReservation::of(library.shortcuts, library.deletedIds.shortcuts);
    TriggerNumbering triggers(library.shortcuts, parsed.shortcuts);
    for (const Shortcut& read : parsed.shortcuts) {
        Shortcut shortcut = read;
        shortcut.id = shortcutIds.claimFresh();
        shortcut.groupId = mapped(read.groupId);
        shortcut.trigger = triggers.claim(read.trigger);
        if (shortcut.trigger != read.trigger)
            result.renamedTriggers.append({read.trigger, shortcut.trigger});
        shortcut.order = shortcutOrders.next(shortcut.groupId);
        merged.shortcuts.append(shortcut);
    }

    merged.validate();
    result.addedShortcutCount = parsed.shortcuts.size();
    result.addedGroupCount = merged.groups.size() - library.groups.size();
    result.library = std::move(merged);
    return result;
}

} // namespace PromptTextImport
