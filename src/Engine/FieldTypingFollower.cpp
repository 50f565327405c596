#include "Engine/FieldTypingFollower.h"

#include "Engine/EngineLog.h"
#include "Engine/FieldPasteTarget.h"
#include "platform/PrimarySelection.h"
#include "Utilities/Text.h"

#include <QPointer>
#include <utility>

struct FieldTypingFollower::Replacement {
    std::shared_ptr<EditableTextField> field;
    QString trigger;
    QString expansion;
    QString shortcutId;
    // The trigger's place in the field, in the field's units.
    qint64 start = 0;
    qint64 end = 0;
    // Pasted over rather than edited by offsets: the field's reports until it is done are ours.
    bool pasting = false;
    // The field's text changed while the paste was being prepared: a key typed meanwhile stands
    // where the selection would go, so no paste follows (once it has gone out, the changes are
    // the paste's own).
    bool fieldChanged = false;
    // What the field reported inserted since the trigger that can only be keys typed, in the
    // order it took them: the keys typed on, whatever place the selection and the paste left them.
    QString keysReported;
    // Reported keys the field reported deleted with a key typed at their place right after, and
    // the last deletion reported, while that may still be.
    QString keysTypedOver;
    std::optional<std::pair<qint64, QString>> lastDeletion;
};

namespace {
using Kind = TextFieldEvent::Kind;

// Chromium reports its changes per update of its tree: keys typed in the same moment come as one
// insertion, in the order typed. One that holds the expansion (a paste that came in that moment
// too) cannot be told apart from the paste, and is left out.
bool mayBeKeysTyped(const QString& text, const QString& expansion)
{
    return !text.isEmpty() && text.size() <= ExpansionReplacement::typedOnKeys && !text.contains(expansion)
        && ExpansionReplacement::isTypedText(text);
}

bool isOneCharacter(const QString& text)
{
    if (text.isEmpty() || Text::graphemeCount(text) != 1)
        return false;
    for (const QChar c : text) {
        // Return, Tab and the like edit rather than type.
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            return false;
    }
    return true;
}

// The caret and the length of the text, read as a pair and taken again when a key landed between
// the two reads: the caret is put back from them, and a pair one key apart would put it one
// place before that key, which the next keys would then pass. Keys that keep landing between
// the reads (a fast typist on a busy machine) leave a caret that does not fit the count.
struct CaretAndCount {
    std::optional<qint64> caret;
    std::optional<qint64> count;
    bool fits = false;
};

CaretAndCount caretAndCount(EditableTextField& field)
{
    CaretAndCount read{std::nullopt, field.characterCount()};
    for (int attempt = 0; attempt < 5 && !read.fits; ++attempt) {
        read.caret = field.caret();
        const std::optional<qint64> again = field.characterCount();
        read.fits = again == read.count;
        read.count = again;
    }
    return read;
}

// Text read back to settle an edit of ours already made: a field too busy to answer one read in
// time is asked again, as a read that fails would leave the edit half made.
std::optional<QString> readBack(EditableTextField& field, qint64 start, qint64 end)
{
    std::optional<QString> text;
    for (int attempt = 0; attempt < 4 && !text; ++attempt)
        text = field.text(start, end);
    return text;
}

bool keysTypedOn(const std::optional<QString>& text)
{
    return text && !text->isEmpty() && ExpansionReplacement::isTypedText(*text);
}

// Whether text found behind an insertion of ours could be keys the user typed meanwhile rather
// than a toolkit's padding, which holds NULs and other controls.
bool couldBeTyped(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if ((category == QChar::Other_Control && c != U'\n' && c != U'\t') || category == QChar::Other_NotAssigned
            || category == QChar::Other_Surrogate)
            return false;
    }
    return true;
}
} // namespace

FieldTypingFollower::FieldTypingFollower(TextFieldEvents& events, ExpansionMatcher& matcher, Schedule schedule,
    std::optional<Pasting> pasting, QObject* parent)
    : QObject(parent)
    , m_events(events)
    , m_matcher(matcher)
    , m_schedule(std::move(schedule))
    , m_pasting(pasting)
{
}

FieldTypingFollower::~FieldTypingFollower()
{
    stop();
}

bool FieldTypingFollower::start(ExpansionHandler onExpansion)
{
    stop();
    m_onExpansion = std::move(onExpansion);
    m_installed = m_events.install([this](const TextFieldEvent& event) { handle(event); });
    return m_installed;
}

void FieldTypingFollower::stop()
{
    resetTyping();
    if (m_installed)
        m_events.remove();
    m_installed = false;
}

bool FieldTypingFollower::isRunning() const
{
    return m_installed && m_events.isInstalled();
}

void FieldTypingFollower::resetTyping()
{
    m_matcher.clearBuffer();
    m_pieces.clear();
    m_next.reset();
    m_nextDetached = false;
    m_swappedSpace.reset();
}

bool FieldTypingFollower::isInSameField(const TextFieldEvent& event) const
{
    return m_field && event.field && m_field->isSameField(*event.field);
}

void FieldTypingFollower::handle(const TextFieldEvent& event)
{
    if (!event.field)
        return;
    if (!isInSameField(event)) {
        // Other objects change their text too (labels, status lines, a clock): only a focus
        // change or typing into another focused, editable field moves the typing there.
        // Nothing typed elsewhere continues here, and our own edits of the previous field are
        // no longer looked for.
        std::optional<bool> secret;
        if (event.kind == Kind::inserted) {
            if (!isOneCharacter(event.text))
                return;
            const std::optional<EditableTextField::State> state = event.field->state();
            if (!state || !state->focused || !state->editable)
                return;
            secret = state->kind == FieldKind::password;
        } else if (event.kind != Kind::focused) {
            return;
        }
        resetTyping();
        m_field = event.field;
        m_secret = secret;
        m_ownEdits.clear();
        m_misplaced.reset();
    }
    if (m_replacement && event.kind == Kind::inserted && m_replacement->field->isSameField(*event.field)
        && mayBeKeysTyped(event.text, m_replacement->expansion)) {
        // A space typed last may be reported as a no-break space, which the field shows as a
        // plain one once the next key comes.
        m_replacement->keysReported += QString(event.text).replace(QChar::Nbsp, u' ');
        // A key at the place of reported keys just deleted replaced them: typed over a selection
        // of ours that covered them. Each is counted once; the paste's own edits take out the
        // trigger or the expansion with them.
        const std::optional<std::pair<qint64, QString>> deleted
            = std::exchange(m_replacement->lastDeletion, std::nullopt);
        if (deleted && deleted->first == event.offset && !deleted->second.contains(m_replacement->expansion)) {
            const std::optional<QString> left
                = ExpansionReplacement::withoutEach(m_replacement->keysReported, m_replacement->keysTypedOver);
            if (left && ExpansionReplacement::withoutEach(left->chopped(event.text.size()), deleted->second))
                m_replacement->keysTypedOver += deleted->second;
        }
    }
    if (m_replacement && m_replacement->pasting && event.kind == Kind::deleted
        && m_replacement->field->isSameField(*event.field))
        m_replacement->lastDeletion = std::make_pair(event.offset, event.text);
    else if (m_replacement && event.kind == Kind::inserted)
        m_replacement->lastDeletion.reset();
    // The selection, the paste and the caret moves they make are no typing.
    if (m_replacement && m_replacement->pasting && event.kind != Kind::focused && event.kind != Kind::unfocused
        && m_replacement->field->isSameField(*event.field)) {
        if (event.kind != Kind::caretMoved) {
            qCDebug(lcEngine).noquote() << "During the paste of" << m_replacement->trigger << "the field reported"
                                        << (event.kind == Kind::inserted ? "an insertion of" : "a deletion of")
                                        << event.length << "at" << event.offset << QString(u'"' + event.text + u'"');
            // Keys typed on behind the trigger stand where no selection goes: the replacement
            // reads the text's length before it selects, and takes them in or goes behind them.
            // Given up for them, a fast typist's trigger stayed as typed one try in five.
            const bool typedOnBehind = event.kind == Kind::inserted && event.offset >= m_replacement->end
                && mayBeKeysTyped(event.text, m_replacement->expansion);
            if (!typedOnBehind)
                m_replacement->fieldChanged = true;
            resetTyping();
        } else {
            qCDebug(lcEngine).noquote() << "During the paste of" << m_replacement->trigger
                                        << "the field reported the caret at" << event.offset;
        }
        return;
    }
    if (m_misplaced && followMisplaced(event))
        return;
    switch (event.kind) {
    case Kind::focused:
    case Kind::unfocused: resetTyping(); return;
    case Kind::inserted:
        // A key right behind our insertion before the field has moved the caret to the end, with
        // keys typed earlier behind it: it landed in front of them.
        if (m_ownEdits.size() == 1 && m_ownEdits.first().kind == Kind::caretMoved && m_ownEdits.first().offset < 0
            && m_ownInsertEnd == event.offset && m_next && !m_nextDetached && *m_next > event.offset
            && *m_next - event.offset <= ExpansionReplacement::typedOnKeys && isOneCharacter(event.text)) {
            m_misplaced = Misplaced{event.offset, event.text, event.length, *m_next - event.offset};
            m_ownEdits.clear();
            // The keys are moved once the caret has gone: a trigger typed across the move stays
            // as typed.
            resetTyping();
            return;
        }
        forgetOwnCaret();
        if (!consumeOwnEdit(event))
            typed(event);
        return;
    case Kind::deleted:
        forgetOwnCaret();
        if (consumeOwnEdit(event))
            return;
        // Chromium keeps a space typed last into an editable region as a no-break space, and
        // when the next character comes, deletes it and inserts a plain space with that
        // character in one piece: the swap goes on with the typing.
        if (event.length == 1 && event.text.size() == 1 && event.text.at(0).isSpace() && m_next
            && event.offset + 1 == *m_next) {
            m_swappedSpace = event.offset;
            return;
        }
        resetTyping();
        return;
    case Kind::caretMoved:
        if (!m_ownEdits.isEmpty() && m_ownEdits.first().kind == Kind::caretMoved
            && m_ownEdits.first().offset == event.offset) {
            m_ownEdits.removeFirst();
            return;
        }
        // Our own edits move the caret on their way (a toolkit puts it behind an insertion by
        // offsets, in front of a key typed meanwhile); where it ends up is set when they are done.
        if (m_replacement || !m_ownEdits.isEmpty() || (m_next && event.offset == *m_next))
            return;
        resetTyping();
        return;
    }
}

void FieldTypingFollower::forgetOwnCaret()
{
    // Text changing once our edits are through means the caret we set is behind us, whether or
    // not the field reported it.
    if (m_ownEdits.size() == 1 && m_ownEdits.first().kind == Kind::caretMoved)
        m_ownEdits.clear();
}

void FieldTypingFollower::setOwnCaret(EditableTextField& field, qint64 offset)
{
    if (field.setCaret(offset))
        m_ownEdits.append(OwnEdit{Kind::caretMoved, offset, 0, {}});
}

bool FieldTypingFollower::consumeOwnEdit(const TextFieldEvent& event)
{
    if (m_ownEdits.isEmpty())
        return false;
    const OwnEdit& expected = m_ownEdits.first();
    if (expected.kind != event.kind || expected.offset != event.offset)
        return false;
    if (event.kind == Kind::inserted && event.text != expected.text)
        return false;
    if (event.kind == Kind::deleted && event.length != expected.length)
        return false;
    m_ownEdits.removeFirst();
    if (event.kind == Kind::inserted) {
        m_ownInsertEnd = event.offset + event.length;
        shift(event.offset, event.length);
        reattach(event.offset + event.length);
    } else {
        // Only what our next insertion puts back in the same place is followed through.
        if (!m_ownEdits.isEmpty() && m_ownEdits.first().kind == Kind::inserted
            && m_ownEdits.first().offset == event.offset)
            detach(event.offset, event.length);
        shift(event.offset, -event.length);
    }
    return true;
}

bool FieldTypingFollower::followMisplaced(const TextFieldEvent& event)
{
    Misplaced& misplaced = *m_misplaced;
    const qint64 behindKeys = misplaced.offset + misplaced.units;
    // Further keys at the caret still in front of the earlier ones.
    if (event.kind == Kind::inserted && event.offset == behindKeys && isOneCharacter(event.text)
        && misplaced.keys.size() < ExpansionReplacement::typedOnKeys) {
        misplaced.keys += event.text;
        misplaced.units += event.length;
        return true;
    }
    if (event.kind == Kind::caretMoved && event.offset == behindKeys)
        return true;
    // The caret sent to the end is behind the earlier keys; any other change leaves all as it is.
    const std::optional<Misplaced> found = std::exchange(m_misplaced, std::nullopt);
    if (event.kind != Kind::caretMoved || event.offset < behindKeys + found->earlier)
        return false;
    putMisplacedKeysBehind(*found);
    return true;
}

void FieldTypingFollower::putMisplacedKeysBehind(const Misplaced& misplaced)
{
    // Keys that reach the field now land at the end, behind all of these: the keys and those typed
    // before them swap places in one edit, with the caret sent to the end with it, where it was.
    EditableTextField& field = *m_field;
    const qint64 start = misplaced.offset;
    const qint64 end = start + misplaced.units + misplaced.earlier;
    const std::optional<QString> found = readBack(field, start, end);
    const QString earlier = found && found->startsWith(misplaced.keys) ? found->mid(misplaced.keys.size()) : QString();
    if (earlier.isEmpty() || !couldBeTyped(*found) || !ExpansionReplacement::isTypedText(earlier)
        || (found->size() != end - start && found->toUcs4().size() != end - start)) {
        qCDebug(lcEngine).noquote() << "Keys typed during an edit stand in front of keys typed before them at" << start
                                    << ": what stands there did not read back as they came";
        return;
    }
    qCDebug(lcEngine).noquote() << "Keys typed during an edit stood in front of keys typed before them at" << start
                                << ": putting" << misplaced.keys << "behind" << earlier;
    const QString ordered = earlier + misplaced.keys;
    m_ownEdits = {OwnEdit{Kind::deleted, start, end - start, {}}, OwnEdit{Kind::inserted, start, 0, ordered}};
    const EditableTextField::Replaced made = field.replaceText(start, end, ordered, true);
    if (made == EditableTextField::Replaced::nothing) {
        m_ownEdits.clear();
    } else if (made == EditableTextField::Replaced::deleted) {
        // Put back as they stood rather than lose them.
        m_ownEdits = {OwnEdit{Kind::inserted, start, 0, *found}};
        field.insertText(start, *found);
    } else if (made == EditableTextField::Replaced::caretAtTheEnd) {
        m_ownEdits.append(OwnEdit{Kind::caretMoved, -1, 0, {}});
    }
}

void FieldTypingFollower::shift(qint64 offset, qint64 change)
{
    // Characters typed behind the trigger before the edit reached the field move with it.
    for (Piece& piece : m_pieces) {
        if (!piece.detached && piece.offset >= offset)
            piece.offset += change;
    }
    if (m_next && !m_nextDetached && *m_next >= offset)
        *m_next += change;
}

void FieldTypingFollower::detach(qint64 offset, qint64 length)
{
    // Keys typed on behind a trigger are taken out with it and put back behind the expansion:
    // they keep their distance from the end of what was taken out.
    const qint64 end = offset + length;
    for (Piece& piece : m_pieces) {
        if (!piece.detached && piece.offset >= offset && piece.offset < end) {
            piece.detached = true;
            piece.offset -= end;
        }
    }
    if (m_next && !m_nextDetached && *m_next > offset && *m_next <= end) {
        m_nextDetached = true;
        *m_next -= end;
    }
}

void FieldTypingFollower::reattach(qint64 end)
{
    for (Piece& piece : m_pieces) {
        if (piece.detached) {
            piece.detached = false;
            piece.offset += end;
        }
    }
    if (m_nextDetached) {
        m_nextDetached = false;
        *m_next += end;
    }
}

void FieldTypingFollower::typed(const TextFieldEvent& reported)
{
    TextFieldEvent event = reported;
    if (std::exchange(m_swappedSpace, std::nullopt) == event.offset && event.length > 1
        && Text::graphemeCount(event.text) == 2 && event.text.at(0).isSpace()) {
        event.text = event.text.mid(1);
        event.offset += 1;
        event.length -= 1;
    }
    // A paste, or anything else inserted in one piece, is not typing.
    if (!isOneCharacter(event.text) || event.length < 1) {
        resetTyping();
        return;
    }
    if (!m_next || m_nextDetached || *m_next != event.offset) {
        m_matcher.clearBuffer();
        m_pieces.clear();
    }
    m_next = event.offset + event.length;
    m_nextDetached = false;
    // A character that cannot take part in a trigger needs no look at the field.
    if (!m_matcher.mayContinue(event.text)) {
        m_matcher.clearBuffer();
        m_pieces.clear();
        return;
    }
    if (!m_secret) {
        const std::optional<EditableTextField::State> state = event.field->state();
        if (!state)
            return resetTyping();
        m_secret = state->kind == FieldKind::password;
    }
    if (*m_secret)
        return resetTyping();
    m_pieces.append(Piece{event.offset, event.length});
    while (m_pieces.size() > m_matcher.maximumLength())
        m_pieces.removeFirst();
    const std::optional<ExpansionMatcher::Entry> match = m_matcher.append(event.text);
    if (!match)
        return;
    const qsizetype characters = Text::graphemeCount(match->trigger);
    if (m_replacement || characters < 1 || characters > m_pieces.size()) {
        m_pieces.clear();
        return;
    }
    startReplacement(*match);
    m_pieces.clear();
}

void FieldTypingFollower::startReplacement(const ExpansionMatcher::Entry& match)
{
    auto replacement = std::make_shared<Replacement>();
    replacement->field = m_field;
    replacement->trigger = match.trigger;
    replacement->expansion = match.expansion.toString();
    replacement->shortcutId = match.shortcutId;
    const qsizetype characters = Text::graphemeCount(match.trigger);
    replacement->start = m_pieces.at(m_pieces.size() - characters).offset;
    replacement->end = m_pieces.last().offset + m_pieces.last().length;
    m_replacement = replacement;
    m_schedule(this, [this, replacement] { replace(replacement); });
}

void FieldTypingFollower::replace(const std::shared_ptr<Replacement>& replacement)
{
    const auto finish = [this, replacement] {
        if (m_replacement == replacement)
            m_replacement.reset();
    };
    EditableTextField& field = *replacement->field;
    if (!m_installed)
        return finish();
    const std::optional<EditableTextField::State> state = field.state();
    if (!state || !state->focused || !state->editable || state->kind == FieldKind::password) {
        qCDebug(lcEngine).noquote() << "Left" << replacement->trigger
                                    << "as typed: the field was no longer focused and editable, or did not say";
        return finish();
    }
    const bool ignoresEdits = m_ignoringEdits.contains(field.applicationName());
    if (!state->offersEditing || ignoresEdits) {
        if (m_pasting)
            return paste(replacement);
        finish();
        Q_EMIT applicationUnreachable(field.applicationName());
        return;
    }
    // The trigger's offsets may have moved since it was typed (text typed on behind it moves
    // nothing in front of it, anything else does): they are read right before the change, and
    // a trigger no longer standing there, or no longer before the caret, stays as it is.
    const qint64 start = replacement->start;
    const qint64 end = replacement->end;
    const auto [caretBefore, countBefore, fits] = caretAndCount(field);
    const std::optional<QString> typedText = field.text(start, end);
    if (!caretBefore || *caretBefore < end || !typedText || !Text::equal(*typedText, replacement->trigger)) {
        qCDebug(lcEngine).noquote() << "Left" << replacement->trigger << "as typed: it no longer read back at"
                                    << start << "in front of the caret" << caretBefore.value_or(-1);
        return finish();
    }

    // Edits in front of the caret only, which leave it where the keys put it: a caret read a key
    // late still stands behind the trigger, and is set again only if our insertion had to be
    // taken out.
    if (field.leavesCaretInFrontOfInsertion())
        return insertInFront(replacement, *caretBefore, countBefore);
    if (!fits || !countBefore) {
        qCDebug(lcEngine).noquote() << "Left" << replacement->trigger
                                    << "as typed: keys kept landing while the caret was read";
        return finish();
    }
    replaceUpToCaret(replacement, *caretBefore, *countBefore);
}

namespace {
// How much of the text behind the caret is read to find it again after the edit.
constexpr qint64 restLooked = 64;

qint64 unitsOf(const QString& text, bool utf16)
{
    return utf16 ? text.size() : text.toUcs4().size();
}

// The first `units` of `text` in the field's units: UTF-16 where `utf16`, code points otherwise.
QString leftUnits(const QString& text, qint64 units, bool utf16)
{
    if (utf16)
        return text.left(units);
    const QList<uint> ucs4 = text.toUcs4();
    return QString::fromUcs4(
        reinterpret_cast<const char32_t*>(ucs4.constData()), std::min<qsizetype>(units, ucs4.size()));
}

// The length of `text` standing at `start`, in the unit the field counts it in (either of those
// toolkits count in); nothing when it does not read back there.
std::optional<qint64> readBackLength(EditableTextField& field, qint64 start, const QString& text)
{
    for (const bool utf16 : {true, false}) {
        const qint64 length = unitsOf(text, utf16);
        const std::optional<QString> found = readBack(field, start, start + length);
        if (found && Text::equal(*found, text))
            return length;
    }
    return std::nullopt;
}
} // namespace

void FieldTypingFollower::replaceUpToCaret(
    const std::shared_ptr<Replacement>& replacement, qint64 caretBefore, qint64 countBefore)
{
    // The toolkits that come here put the caret right behind an insertion by offsets wherever it
    // stood, and Qt's line edits put it at the end of the text after a deletion. So the trigger
    // goes out together with the keys typed on behind it up to the caret, and the expansion goes
    // in with those keys behind it: the caret ends up behind them in the same step, and a key
    // typed after that lands behind them, in the middle of a text too. Only keys that reach the
    // field between the deletion and the insertion end up on the wrong side of the caret; they
    // are looked for right after.
    const auto finish = [this, replacement] {
        if (m_replacement == replacement)
            m_replacement.reset();
    };
    EditableTextField& field = *replacement->field;
    const qint64 start = replacement->start;
    const qint64 end = replacement->end;
    // Read right before the deletion: keys that reach the field after this look land behind the
    // caret, outside what is taken out. A key that landed since the caret and the length were
    // read stands in front of the text behind the caret, which would be read with the key in and
    // its end cut off, and then be taken for keys typed during the edit: all is read again.
    std::optional<QString> typedOn;
    std::optional<QString> rest;
    for (int attempt = 0; attempt < 5; ++attempt) {
        typedOn = caretBefore > end ? readBack(field, end, caretBefore) : std::optional<QString>(QString());
        rest = caretBefore < countBefore ? readBack(field, caretBefore, std::min(countBefore, caretBefore + restLooked))
                                         : std::optional<QString>(QString());
        if (field.characterCount() == countBefore)
            break;
        const CaretAndCount again = caretAndCount(field);
        if (!again.fits || !again.caret || !again.count || *again.caret < end) {
            qCDebug(lcEngine).noquote() << "Left" << replacement->trigger
                                        << "as typed: keys kept landing while the text behind the caret was read";
            return finish();
        }
        caretBefore = *again.caret;
        countBefore = *again.count;
        typedOn.reset();
    }
    if (!typedOn || !rest || caretBefore - end > ExpansionReplacement::typedOnKeys
        || !(typedOn->isEmpty() || keysTypedOn(typedOn))) {
        qCDebug(lcEngine).noquote() << "Left" << replacement->trigger << "as typed: the caret stood at"
                                    << caretBefore << "and what lay between could not be told typed on";
        return finish();
    }
    const QString putBack = replacement->expansion + *typedOn;
    const bool toTheEnd = field.sendsCaretToTheEnd();
    const bool caretStays = field.caretStaysWithTypedKeys();
    // Where GTK puts the caret right behind the insertion, in front of any key that reached the
    // field since the deletion, and the caret stood at the end of the text, the field is asked to
    // put it at the end again in the same go: keys land nowhere else meanwhile, so it ends up
    // behind all of them, however many came and whenever, with no look at the length first
    // (a key landing between such a look and the setting would end up behind the caret).
    const bool caretToTheEnd = rest->isEmpty() && !toTheEnd && !caretStays;
    m_ownEdits = {OwnEdit{Kind::deleted, start, caretBefore - start, {}}, OwnEdit{Kind::inserted, start, 0, putBack}};
    // Qt's fields, which keep keys typed meanwhile in order their own way, get one request at a
    // time as before: sent together, more of their triggers were left as typed on a busy machine
    // (11 of 30 tries against 0 of 30), for a reason not found.
    const EditableTextField::Replaced made = toTheEnd || caretStays
        ? field.EditableTextField::replaceText(start, caretBefore, putBack, false)
        : field.replaceText(start, caretBefore, putBack, caretToTheEnd);
    if (made == EditableTextField::Replaced::nothing) {
        m_ownEdits.clear();
        return finish();
    }
    if (made == EditableTextField::Replaced::deleted) {
        // Put the trigger back rather than lose what the user typed.
        m_ownEdits = {OwnEdit{Kind::inserted, start, 0, replacement->trigger + *typedOn}};
        field.insertText(start, replacement->trigger + *typedOn);
        return finish();
    }
    // Where the caret went to the end is not known here: the caret moves the edit makes are ours
    // until the field changes again.
    const bool caretSet = made == EditableTextField::Replaced::caretAtTheEnd;
    if (caretSet)
        m_ownEdits.append(OwnEdit{Kind::caretMoved, -1, 0, {}});
    // A caret sent to the end of the text goes back behind what was put in at once, before the
    // next key lands at the end.
    if (toTheEnd && !rest->isEmpty())
        setOwnCaret(field, start + putBack.size());
    // Read back before calling it done: the expansion must stand at the trigger's place, in one
    // of the two units toolkits count in, and the text must have grown by that much, or by that
    // and keys typed meanwhile; a toolkit that read the insertion's length in another unit than
    // it was given has cut the expansion short or padded it with whatever its memory held.
    const std::optional<qint64> countAfter = field.characterCount();
    // How much the text grew in place of what was taken out; -1 when the field could not tell.
    const qint64 growth = countAfter ? *countAfter - countBefore + (caretBefore - start) : -1;
    // Firefox answers yes and changes nothing (its pages' fields live in another process, which
    // the request never reaches): the trigger still stands, with the text as long as before.
    if (m_pasting && growth == caretBefore - start
        && Text::equal(field.text(start, end).value_or(QString()), replacement->trigger)) {
        m_ownEdits.clear();
        m_ignoringEdits.insert(field.applicationName());
        return paste(replacement);
    }
    std::optional<qint64> insertedLength;
    bool utf16 = true;
    for (const bool inUtf16 : {true, false}) {
        const qint64 length = unitsOf(putBack, inUtf16);
        if (insertedLength || length > growth)
            continue;
        const std::optional<QString> check = readBack(field, start, start + length);
        if (check && Text::equal(*check, putBack)) {
            insertedLength = length;
            utf16 = inUtf16;
        }
    }
    // Whatever else the text grew by must be keys typed meanwhile, found right behind the
    // expansion or at the end of the text (where the two are one for a Qt line edit, whose
    // caret stands there); a padding of NULs comes back cut short at the first.
    const bool placed = insertedLength
        && (growth == *insertedLength
            || (toTheEnd ? rest->isEmpty() || moveKeysFromTheEnd(*replacement, start + *insertedLength, *rest)
                         : placeKeysTypedMeanwhile(*replacement, start + *insertedLength, growth - *insertedLength,
                             *countAfter, *rest, utf16, caretSet)));
    if (!placed) {
        // Only what is recognisably our insertion, cut short or padded, is taken out again: a
        // field that something else changed meanwhile (emptied, say) gets nothing put into it.
        const std::optional<QString> inserted = growth > 0 ? field.text(start, start + growth) : std::nullopt;
        if (caretSet)
            m_ownEdits.removeLast();
        // Keys that reached the field during the edit and read back whole behind the insertion
        // stay, with the caret behind them: only the insertion goes (a padding reads back cut
        // short at its first NUL).
        const QString keys = inserted && inserted->startsWith(putBack) ? inserted->mid(putBack.size()) : QString();
        const bool inUtf16 = inserted && inserted->size() == growth;
        qint64 keyUnits = !keys.isEmpty() && (inUtf16 || unitsOf(*inserted, false) == growth) && couldBeTyped(keys)
                && ExpansionReplacement::isTypedText(keys)
            ? unitsOf(keys, inUtf16)
            : 0;
        qint64 ours = growth - keyUnits;
        // A count read while the toolkit had not caught up with the edit or with keys typed
        // meanwhile tells the insertion's length wrong either way: where the whole insertion
        // still reads back in its place, that, and no more, is taken out. Less left part of it in
        // front of the trigger put back (`/sisig`); more took the keys typed behind it along.
        const std::optional<qint64> whole = readBackLength(field, start, putBack);
        if (whole && inserted && !inserted->isEmpty() && putBack.startsWith(*inserted) && *inserted != putBack) {
            ours = *whole;
            keyUnits = 0;
        } else if (whole && rest->isEmpty() && keyUnits == 0 && !keys.isEmpty() && couldBeTyped(keys)
            && ExpansionReplacement::isTypedText(keys)) {
            keyUnits = unitsOf(keys, *whole == putBack.size());
            ours = *whole;
        }
        if (inserted && !inserted->isEmpty() && (putBack.startsWith(*inserted) || inserted->startsWith(putBack)))
            restoreTrigger(*replacement, ours, caretBefore + keyUnits, replacement->trigger + *typedOn,
                !toTheEnd && !caretStays, caretToTheEnd);
        else
            m_ownEdits.clear();
        qCDebug(lcEngine).noquote() << "Left" << replacement->trigger
                                    << "as typed: the expansion did not read back in its place, the text grew by"
                                    << growth;
        return finish();
    }
    landed(*replacement);
}

bool FieldTypingFollower::placeKeysTypedMeanwhile(const Replacement& replacement, qint64 behind, qint64 extra,
    qint64 countAfter, const QString& rest, bool utf16, bool caretSet)
{
    // Keys that came between the deletion and the insertion stand right behind the expansion,
    // where GTK 3 took them at the trigger's place and then put the caret in front of them.
    EditableTextField& field = *replacement.field;
    const qint64 restUnits = unitsOf(rest, utf16);
    const std::optional<QString> head = readBack(field, behind, behind + extra + restUnits);
    if (!head) {
        qCDebug(lcEngine).noquote() << "The text behind the expansion of" << replacement.trigger
                                    << "did not read back: keys typed during the edit were left where they landed";
        return true;
    }
    // Cut short at a NUL, or holding other controls: the toolkit padded the insertion.
    if (unitsOf(*head, utf16) != extra + restUnits || !couldBeTyped(*head))
        return false;
    const QString keys = leftUnits(*head, extra, utf16);
    if (ExpansionReplacement::isTypedText(keys) && *head == keys + rest) {
        if (caretSet)
            return true;
        // The caret goes behind them, and behind any key that reached it meanwhile (at the caret,
        // in front of them). A caret found behind them already stays: set again, it would go in
        // front of a key that lands between the look and the setting.
        const CaretAndCount now = caretAndCount(field);
        const qint64 wanted = behind + extra + (now.count ? *now.count - countAfter : 0);
        if (!now.caret || *now.caret < wanted)
            setOwnCaret(field, wanted);
        return true;
    }
    qCDebug(lcEngine).noquote() << "Keys typed during the expansion of" << replacement.trigger
                                << "were left where they landed: they could not be told apart from the text";
    return true;
}

bool FieldTypingFollower::moveKeysFromTheEnd(const Replacement& replacement, qint64 behind, const QString& rest)
{
    // The caret went to the end of the text with the deletion and again with the insertion, and
    // was set back behind the expansion right after it: keys typed before that stand at the end,
    // behind all that stood behind the caret, those typed since at the caret. Those at the end
    // were typed first, and go in front of the others. (Qt counts in UTF-16 units, as QString.)
    EditableTextField& field = *replacement.field;
    const std::optional<qint64> count = field.characterCount();
    const std::optional<QString> after = count ? readBack(field, behind, *count) : std::nullopt;
    const qsizetype split = after && after->size() == *count - behind ? after->indexOf(rest) : -1;
    const QString atTheEnd = split >= 0 ? after->mid(split + rest.size()) : QString();
    // Holding controls: the toolkit padded the insertion.
    if (after && !couldBeTyped(*after))
        return false;
    if (split < 0 || !ExpansionReplacement::isTypedText(after->left(split))
        || !ExpansionReplacement::isTypedText(atTheEnd)) {
        qCDebug(lcEngine).noquote() << "Keys typed during the expansion of" << replacement.trigger
                                    << "were left where they landed: what stood behind the caret was not found again";
        return true;
    }
    if (atTheEnd.isEmpty())
        return true;
    qCDebug(lcEngine).noquote() << "Moved" << atTheEnd << "typed during the edit from the end of the text behind"
                                << "the expansion of" << replacement.trigger;
    m_ownEdits.append(OwnEdit{Kind::deleted, *count - atTheEnd.size(), atTheEnd.size(), {}});
    m_ownEdits.append(OwnEdit{Kind::inserted, behind, 0, atTheEnd});
    if (!field.deleteText(*count - atTheEnd.size(), *count)) {
        m_ownEdits.clear();
    } else if (!field.insertText(behind, atTheEnd)) {
        m_ownEdits = {OwnEdit{Kind::inserted, *count - atTheEnd.size(), 0, atTheEnd}};
        field.insertText(*count - atTheEnd.size(), atTheEnd);
    } else {
        setOwnCaret(field, behind + atTheEnd.size() + split);
    }
    return true;
}

void FieldTypingFollower::restoreTrigger(const Replacement& replacement, qint64 inserted, qint64 caretBefore,
    const QString& typed, bool together, bool caretToTheEnd)
{
    // What went in is taken out again and the trigger put back as typed, with the caret where it
    // stood: the user sees that nothing was expanded rather than a changed text. At the end of
    // the text the caret goes to the end in the same go as the edit, behind any key typed
    // meanwhile (GTK leaves it right behind the insertion, in front of such keys).
    EditableTextField& field = *replacement.field;
    if (inserted > 0)
        m_ownEdits.append(OwnEdit{Kind::deleted, replacement.start, inserted, {}});
    m_ownEdits.append(OwnEdit{Kind::inserted, replacement.start, 0, typed});
    const qint64 end = replacement.start + std::max<qint64>(inserted, 0);
    const EditableTextField::Replaced made = together
        ? field.replaceText(replacement.start, end, typed, caretToTheEnd)
        : field.EditableTextField::replaceText(replacement.start, end, typed, false);
    if (made == EditableTextField::Replaced::nothing || made == EditableTextField::Replaced::deleted) {
        m_ownEdits.clear();
        return;
    }
    if (made == EditableTextField::Replaced::caretAtTheEnd)
        m_ownEdits.append(OwnEdit{Kind::caretMoved, -1, 0, {}});
    else if (field.caret() != caretBefore)
        setOwnCaret(field, caretBefore);
}

void FieldTypingFollower::insertInFront(
    const std::shared_ptr<Replacement>& replacement, qint64 caretBefore, std::optional<qint64> countBefore)
{
    // The expansion goes in in front of the trigger, and only then is the trigger taken out
    // behind it: the caret stands behind the trigger throughout, so a key typed meanwhile lands
    // behind the expansion. Deleted first, the trigger would leave the caret right at the
    // insertion, in front of the expansion once it is in, and a key typed before the caret is
    // set behind it would land there.
    const auto finish = [this, replacement] {
        if (m_replacement == replacement)
            m_replacement.reset();
    };
    EditableTextField& field = *replacement->field;
    const qint64 start = replacement->start;
    const qint64 triggerLength = replacement->end - start;
    m_ownEdits = {OwnEdit{Kind::inserted, start, 0, replacement->expansion}};
    // A field too busy to answer in time may still make the insertion (its answer only came too
    // late): what is there is read back either way, and completed or taken out.
    const bool answered = field.insertText(start, replacement->expansion);
    const std::optional<qint64> countInserted = field.characterCount();
    // Read back before going on: the expansion must stand at the trigger's place, in one of the
    // two units toolkits count in, with the trigger right behind it; a toolkit that read the
    // insertion's length in another unit than it was given has cut the expansion short or padded
    // it with whatever its memory held. Keys typed meanwhile stand behind the trigger.
    const qint64 growth = countBefore && countInserted ? *countInserted - *countBefore : -1;
    const auto standsAt = [&field](qint64 offset, qint64 length, const QString& expected) {
        const std::optional<QString> found = readBack(field, offset, offset + length);
        return found && Text::equal(*found, expected);
    };
    std::optional<qint64> expansionLength;
    for (const qint64 length :
        {qint64(replacement->expansion.size()), qint64(replacement->expansion.toUcs4().size())}) {
        if (!expansionLength && (growth < 0 || length <= growth) && standsAt(start, length, replacement->expansion)
            && standsAt(start + length, triggerLength, replacement->trigger))
            expansionLength = length;
    }
    if (!expansionLength) {
        qCDebug(lcEngine).noquote() << "Left" << replacement->trigger
                                    << "as typed: the expansion did not read back in front of it, the text grew by"
                                    << growth << (answered ? "" : "(the field refused the insertion or did not say)");
        takeOutInsertion(*replacement, growth, caretBefore);
        return finish();
    }
    m_ownEdits.append(OwnEdit{Kind::deleted, start + *expansionLength, triggerLength, {}});
    if (!field.deleteText(start + *expansionLength, start + *expansionLength + triggerLength)) {
        qCDebug(lcEngine).noquote() << "Left" << replacement->trigger << "as typed: the field refused the deletion";
        takeOutInsertion(*replacement, *expansionLength, caretBefore);
        return finish();
    }
    // Both edits stood in front of the caret, which moved with them and stays behind every key
    // typed meanwhile: setting it again could only put it in front of a key that lands between
    // the look and the setting.
    landed(*replacement);
}

void FieldTypingFollower::takeOutInsertion(const Replacement& replacement, qint64 inserted, qint64 caretBefore)
{
    // Only what is recognisably our insertion, cut short or padded, standing right in front of
    // the trigger, is taken out again, with the caret put back where it stood: the user sees
    // that nothing was expanded rather than a changed text. A field that something else changed
    // meanwhile (emptied, say) is left alone.
    EditableTextField& field = *replacement.field;
    const qint64 start = replacement.start;
    const std::optional<QString> found = inserted > 0 ? readBack(field, start, start + inserted) : std::nullopt;
    const std::optional<QString> behind
        = readBack(field, start + inserted, start + inserted + replacement.end - start);
    if (!found || found->isEmpty() || !behind || !Text::equal(*behind, replacement.trigger)
        || !(replacement.expansion.startsWith(*found) || found->startsWith(replacement.expansion))) {
        m_ownEdits.clear();
        return;
    }
    m_ownEdits.append(OwnEdit{Kind::deleted, start, inserted, {}});
    if (!field.deleteText(start, start + inserted)) {
        m_ownEdits.clear();
        return;
    }
    // A caret left inside what was taken out goes back behind the trigger.
    if (const std::optional<qint64> caret = field.caret(); caret && *caret < caretBefore)
        setOwnCaret(field, caretBefore);
}

void FieldTypingFollower::landed(const Replacement& replacement)
{
    if (m_replacement.get() == &replacement)
        m_replacement.reset();
    if (m_onExpansion)
        m_onExpansion(replacement.trigger, replacement.expansion, replacement.shortcutId);
}

void FieldTypingFollower::paste(const std::shared_ptr<Replacement>& replacement)
{
    const auto finish = [this, replacement] {
        if (m_replacement == replacement)
            m_replacement.reset();
    };
    // The trigger is selected where the caret stands right behind it. The text's length is read
    // first: keys that reach the field after it are behind the trigger, and stay there. So do keys
    // typed on at the end of the text that reached the field before this look: the trigger counts
    // as found just before them. Elsewhere a key that reached the field meanwhile would stand
    // between the trigger and the caret.
    EditableTextField& field = *replacement->field;
    std::optional<qint64> length = field.characterCount();
    const std::optional<qint64> fieldCaret = field.caret();
    const qint64 end = replacement->end;
    bool typedOn = fieldCaret && length && *fieldCaret == *length && *fieldCaret > end
        && *fieldCaret - end <= ExpansionReplacement::typedOnKeys && keysTypedOn(field.text(end, *fieldCaret));
    if (fieldCaret != end && !typedOn) {
        qCDebug(lcEngine).noquote() << "Left" << replacement->trigger << "as typed: the caret stood at"
                                    << fieldCaret.value_or(-1) << "in" << length.value_or(-1) << "units, not behind it at" << end;
        return finish();
    }
    // The application's name is a request of its own, asked for only where it may tell something.
    const bool keysOvertakePaste
        = !m_keysOvertakePaste.isEmpty() && m_keysOvertakePaste.contains(field.applicationName());
    const std::shared_ptr<FieldPasteTarget> target
        = FieldPasteTarget::make(m_pasting->desktop, replacement->field, keysOvertakePaste);
    std::optional<TextRange> caret = target ? target->selection() : std::nullopt;
    if (!caret || caret->length != 0)
        return finish();
    // So may keys that reach it between the two reads of its caret (a fast typist in a browser).
    if (!typedOn && fieldCaret == end && caret->location > end
        && caret->location - end <= ExpansionReplacement::typedOnKeys) {
        const std::optional<qint64> count = field.characterCount();
        typedOn = count == caret->location && keysTypedOn(field.text(end, caret->location));
    }
    if (typedOn) {
        caret = TextRange{end, 0};
        length = end;
    }
    replacement->pasting = true;
    resetTyping();
    ExpansionPlan plan;
    plan.trigger = replacement->trigger;
    plan.expansion = replacement->expansion;
    plan.expectedCaret = caret->location;
    plan.observedSelection = caret;
    plan.observedLength = length;
    plan.keysReported = [weak = std::weak_ptr<Replacement>(replacement)] {
        const std::shared_ptr<Replacement> reported = weak.lock();
        return reported ? reported->keysReported : QString();
    };
    plan.keysTypedOver = [weak = std::weak_ptr<Replacement>(replacement)] {
        const std::shared_ptr<Replacement> reported = weak.lock();
        return reported ? reported->keysTypedOver : QString();
    };
    QPointer<FieldTypingFollower> self(this);
    auto isCurrent = [self, replacement] {
        return self && self->m_installed && self->m_replacement == replacement && !replacement->fieldChanged;
    };
    auto completed = [self, replacement] {
        if (self && self->m_onExpansion)
            self->m_onExpansion(replacement->trigger, replacement->expansion, replacement->shortcutId);
    };
    auto ended = [self, replacement, target, keysOvertakePaste] {
        if (!self)
            return;
        if (target->keysOvertookPaste() && !keysOvertakePaste) {
            qCDebug(lcEngine).noquote() << replacement->field->applicationName()
                                        << "took a paste behind the selection it showed: its pastes go without End from now on";
            self->m_keysOvertakePaste.insert(replacement->field->applicationName());
        }
        // Selecting the trigger makes a browser take the primary selection over; it goes back
        // once no paste can still be on its way.
        self->m_pasting->replacement->afterPasteSettled([self] {
            if (self && self->m_pasting->desktop.primarySelection)
                self->m_pasting->desktop.primarySelection->restore();
        });
        if (self->m_replacement == replacement) {
            self->m_replacement.reset();
            self->resetTyping();
        }
    };
    if (m_pasting->desktop.primarySelection)
        m_pasting->desktop.primarySelection->save();
    m_pasting->replacement->prepare();
    if (!m_pasting->replacement->start(plan, target, isCurrent, completed, ended))
        finish();
}
