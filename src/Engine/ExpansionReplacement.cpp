#include "Engine/ExpansionReplacement.h"

#include "Engine/EngineLog.h"
#include "Utilities/Text.h"
#include "Utilities/Uuid.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

struct ExpansionReplacement::Run {
    ExpansionPlan plan;
    QByteArray expansionBytes;
    std::shared_ptr<ExpansionTarget> target;
    std::function<bool()> isCurrent;
    std::function<void()> completed;
    // Called once: a put-back after the replacement ended does not end it again.
    mutable std::function<void()> ended;
    std::function<QString()> typedAfter;
    // What was typed after the trigger and reached the field, as of the last look: replaced
    // along with the trigger by itself, behind the expansion.
    QString after;

    qint64 caret = 0; // the expected caret once it is known which one holds
    TextRange range; // the trigger's place in the field
    QList<ClipboardItemSnapshot> previous;
    QList<ClipboardItemSnapshot> injected;
    ClipboardWriteReceipt receipt;
    // How often others had read the expansion when the paste keys went out: a clipboard
    // manager copies whatever is new, and only a read after the paste may be the paste.
    std::optional<qint64> readsBeforePaste;
    // Seconds of looking for the paste scheduled so far, and when the field was last asked.
    double pasteWaited = 0;
    double pasteLookedAt = 0;
    // Since when (in seconds of looking for the paste) the field has answered every look, and
    // the looks added for a field that answered only lately.
    std::optional<double> answeringSince;
    double pasteLookedLonger = 0;
    // What a field that took the paste showed instead of the expansion (its selection and the
    // text where the expansion should be), and since when.
    std::optional<std::pair<TextRange, std::optional<QString>>> reshaped;
    double reshapedSince = 0;
    // Whether the paste went out again over a plain "v" that had replaced the trigger, and
    // since when such a letter has been seen.
    bool pastedAgain = false;
    std::optional<double> plainKeySince;
    // Keys the user typed that took the selected trigger's place just before the paste came,
    // which then landed behind them, with the keys typed on behind the paste: the expansion goes
    // again in front of them. What the range selected for that holds, and how often it was done.
    // Keys that reached the field behind the trigger before its selection, where they are
    // selected with it and pasted again behind the expansion, go there too.
    QString displaced;
    QString selectedAgain;
    int pastedInFront = 0;
    // How often such a paste showed nothing and went again, and how much the field had reported
    // typed when the last went.
    int emptyPastes = 0;
    qsizetype reportedBefore = 0;
    // How often keys behind the selection were taken into it, and whether a look found keys
    // there that could not be.
    int carried = 0;
    // The keys behind the range taken into it last, while they may still stand behind a key that
    // took the place of the range shown before.
    QString carriedBehind;
    bool keysBehindLeft = false;
    // Where a field takes the paste once it shows the selection: the range asked for, what it
    // holds, and the text's length then. Keys that reached the field behind the range before
    // the selection did, which the paste leaves where they are, behind the expansion.
    TextRange selecting;
    QString selectingText;
    qint64 lengthAtSelection = 0;
    QString behind;
    // Whether a look found the range selected with nothing behind it, where the paste waits for
    // a second look.
    bool selectionShown = false;
    // How many looks the selection being waited for is given.
    int selectionLooks = selectionChecks;
    // The text's length read with the caret that placed the trigger, where the target pastes
    // while the user types on, and at the look before.
    std::optional<qint64> lengthAtDecision;
    std::optional<qint64> lastLength;
    // Where keys took the place of the selected range before the paste: the text from there to
    // the end, the keys that took its place followed by any that had reached the field behind it
    // first. The paste lands between the two.
    QString tookPlace;
    // Looks that found more keys around the paste than the field had reported yet, and that
    // found keys in the selection's place before the field had reported any.
    int reportsBehind = 0;
    int keysAwaited = 0;
    bool reportsDoubted = false;
    // Where the paste did not arrive whole: what goes back over what arrived (the trigger and
    // the keys typed after it), and why. Late: the replacement had ended before the paste came.
    std::optional<QString> puttingBack;
    QString putBackWhy;
    bool late = false;
    bool putBackAgain = false;
    // Looks after the replacement ended that found the paste taken but nothing to put back.
    int lateLooksTaken = 0;
    // Where the caret goes once what arrived is replaced, where keys came behind it.
    std::optional<qint64> caretAfterPutBack;

    // A caret the trigger stood right before at the last look, when that was not where the
    // engine expected it.
    std::optional<qint64> settling;
    // Where the caret stood at the last look, and how many looks in a row found it there with
    // other text than the trigger before it.
    std::optional<qint64> lastLook;
    int unlike = 0;
    // Looks taken soon after a look that found the field a key or more behind.
    int quickLooks = 0;
    // Looks that found no focused field or no caret.
    int unanswered = 0;

    QString typedAfterNow() const { return typedAfter ? typedAfter() : QString(); }
    // The text that is replaced, and the text that replaces it.
    QString typed() const { return plan.trigger + after; }
    QString pasted() const { return puttingBack ? *puttingBack : plan.expansion + after + displaced; }
    // What the selected range holds before the paste.
    QString selected() const { return pastedInFront == 0 && !puttingBack ? typed() + displaced : selectedAgain; }
    TextRange caretRange() const { return TextRange{caret, 0}; }
};

namespace {
// Whether a field still missing some of the trigger's keys can show the trigger before its
// caret already: when the trigger's beginning recurs at its end (";;", "hehe").
bool repeatsItself(const QString& trigger)
{
    for (qsizetype shift = 1; shift < trigger.size(); ++shift) {
        if (trigger.mid(shift) == trigger.left(trigger.size() - shift))
            return true;
    }
    return false;
}

bool equalText(const std::optional<QString>& text, const QString& expected)
{
    return text && Text::equal(*text, expected);
}

bool sameButForCase(const QString& text, const QString& expected)
{
    return Text::equal(text, expected) || Text::equal(text.toCaseFolded(), expected.toCaseFolded());
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// What a field may show of pasted text with line breaks, from its start: each break as it is,
// as another kind of break or a pair of them ("\r\n"), as an embedded object that stands for a
// paragraph of its own (U+FFFC, a browser's editable region) with or without a break, as a
// space (a line field joins the lines) or left out; breaks at the end may be gone. The lines
// after a break may also all stand in embedded objects at the end of the text (Chromium's
// editable region puts the lines after the first in an element of their own).
QRegularExpression pastedLines(const QString& pasted)
{
    static const QString breaks = QStringLiteral("(?:[\\n\\r\\x{2028}\\x{2029}\\x{FFFC}]{1,3}| )?");
    static const QString restInObjects = QStringLiteral("[\\n\\r\\x{2028}\\x{2029}]?\\x{FFFC}+\\z");
    QStringList segments;
    QString segment;
    const QString text = pasted.normalized(QString::NormalizationForm_C);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!isLineBreak(c)) {
            segment += c;
            continue;
        }
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        segments.append(std::exchange(segment, QString()));
    }
    if (segments.isEmpty())
        return QRegularExpression();
    // From the last line back: each break is followed by the rest as text, or by objects.
    QString rest = QRegularExpression::escape(segment);
    for (qsizetype i = segments.size() - 1; i >= 0; --i)
        rest = QRegularExpression::escape(segments.at(i)) + "(?:" + restInObjects + "|" + breaks + rest + ")";
    return QRegularExpression(QStringLiteral("\\A") + rest);
}

// The text a paste of the contents inserts, as far as it can be told: their first plain text.
QString pastedTextOf(const QList<ClipboardItemSnapshot>& contents)
{
    for (const ClipboardItemSnapshot& item : contents) {
        for (const ClipboardRepresentation& representation : item.representations) {
            if (representation.type.startsWith(QLatin1String("text/plain")))
                return QString::fromUtf8(representation.data);
        }
    }
    return {};
}
} // namespace

std::optional<QString> ExpansionReplacement::withoutEach(QString text, const QString& keys)
{
    for (const QChar key : keys) {
        const qsizetype found = text.indexOf(key);
        if (found < 0)
            return std::nullopt;
        text.remove(found, 1);
    }
    return text;
}

bool ExpansionReplacement::isTypedText(const QString& text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph;
    });
}

namespace {
// The field as a paste over a range being selected finds it: its selection, its text's length,
// what the range holds, and whether that is still what was selected.
struct SelectingLook {
    std::optional<TextRange> selection;
    std::optional<qint64> length;
    std::optional<QString> shown;
    bool inPlace = false;
};

SelectingLook lookAtSelecting(ExpansionTarget& target, TextRange range, const QString& selected)
{
    SelectingLook look{target.selection(), target.textLength(), target.text(range)};
    // A page busy with the selection just asked for may answer a length short of the text in
    // front of it (Firefox under load: none at all, with the range shown selected). No key typed
    // at the range takes that text away: the length is asked for again at the next look.
    if (look.selection == range && look.length && *look.length < range.location)
        look.length.reset();
    // Nor is a length short of the caret it shows elsewhere (a key over the range, the caret
    // behind it, and a length of 0): taken for the range gone, the paste that should land behind
    // that key would not go, and the text the range held would be lost.
    if (look.selection && look.selection != range && look.length
        && *look.length < look.selection->location + look.selection->length)
        look.length.reset();
    look.inPlace = equalText(look.shown, selected);
    return look;
}
} // namespace

ExpansionReplacement::ExpansionReplacement(ExpansionClipboard& clipboard, Schedule schedule)
    : m_clipboard(clipboard)
    , m_schedule(std::move(schedule))
{
}

bool ExpansionReplacement::start(const ExpansionPlan& plan, std::shared_ptr<ExpansionTarget> target,
    std::function<bool()> isCurrent, std::function<void()> completed, std::function<void()> ended,
    std::function<QString()> typedAfter)
{
    if (m_isBusy)
        return false;
    const qint64 length = plan.trigger.size();
    if (length < 1 || plan.expectedCaret < length)
        return false;
    QByteArray bytes = plan.expansion.toUtf8();
    if (bytes.size() > largestExpansionBytes)
        return false;

    auto run = std::make_shared<Run>();
    run->plan = plan;
    if (run->plan.alternativeCaret && *run->plan.alternativeCaret < length)
        run->plan.alternativeCaret.reset();
    run->expansionBytes = std::move(bytes);
    run->target = std::move(target);
    run->isCurrent = std::move(isCurrent);
    run->completed = std::move(completed);
    run->ended = std::move(ended);
    run->typedAfter = std::move(typedAfter);
    m_isBusy = true;
    // Where nothing holds the user's keys, the look just made decides at once: a key whose
    // report came before a later turn would end the replacement, though it reached the field
    // after the text's length was read, behind the trigger, where it stays.
    if (run->target->selectsWhilePasting() && run->plan.observedSelection && run->plan.observedLength) {
        waitForFinalKey(run, caretChecks, run->plan.observedSelection);
        return true;
    }
    // Under the hold, a look at the final key that shows the trigger in place decides in the
    // turn that confirmed the focus: nothing typed can come between, and a later turn would
    // only ask the field again whether it still has it.
    if (!run->target->selectsWhilePasting() && run->plan.observedSelection) {
        waitForFinalKey(run, caretChecks, run->plan.observedSelection, LookAt::finalKeyTurn);
        return true;
    }
    lookInLaterTurn(run);
    return true;
}

void ExpansionReplacement::lookInLaterTurn(const std::shared_ptr<Run>& run)
{
    m_schedule(firstCaretCheckDelay, [this, run] { waitForFinalKey(run, caretChecks, run->plan.observedSelection); });
}

bool ExpansionReplacement::isCurrent(const Run& run)
{
    // Once the replacement has ended the user is free to click and copy elsewhere: a late
    // put-back goes by the field's own text and caret instead (see awaitLatePaste()).
    if (run.late)
        return true;
    const QString after = run.typedAfterNow();
    return run.isCurrent() && after == run.after;
}

void ExpansionReplacement::giveUp(const Run& run, const QString& why)
{
    qCDebug(lcEngine).noquote() << "Left" << run.plan.trigger << "as typed:" << why;
    finish(run);
}

void ExpansionReplacement::finish(const Run& run)
{
    m_isBusy = false;
    m_sentPaste = false;
    if (const std::function<void()> ended = std::exchange(run.ended, {}))
        ended();
}

// The field receives the final key only after the engine has seen it, or just before, so
// the caret may still stand in front of the final key's place for a moment. Keys typed after
// the final key that reached the field before they could be held count as more of the run:
// the caret is looked for behind them.
void ExpansionReplacement::waitForFinalKey(
    const std::shared_ptr<Run>& run, int attempts, std::optional<TextRange> observed, LookAt when)
{
    const ExpansionPlan& plan = run->plan;
    // Read first: the keys not read yet may also make the replacement stale.
    const QString after = run->typedAfterNow();
    if (!run->isCurrent())
        return giveUp(*run, QStringLiteral("no longer current (a key came since the trigger)"));
    if (after != run->after) {
        // The run ends further on than at the last look, where the caret stood still perhaps.
        run->after = after;
        run->settling.reset();
        run->lastLook.reset();
        run->unlike = 0;
    }
    const QString typed = run->typed();
    const qint64 length = typed.size();
    const qint64 expectedCaret = plan.expectedCaret + run->after.size();
    // No caret stands at -1.
    const qint64 alternativeCaret = plan.alternativeCaret ? *plan.alternativeCaret + run->after.size() : -1;
    // The engine's look at the final key serves as the first look here when the caret stood
    // where the trigger may end; otherwise the field may have applied the final key by now.
    if (observed
        && (observed->length != 0 || !run->after.isEmpty()
            || (observed->location != expectedCaret && observed->location != alternativeCaret)))
        observed.reset();
    // The field may apply the final key a moment after the engine looked: it is looked at
    // afresh once it has had a turn.
    if (when == LookAt::finalKeyTurn && !observed)
        return lookInLaterTurn(run);
    if (length > expectedCaret)
        return giveUp(*run, QStringLiteral("the trigger is longer than the text before the caret"));
    const bool focused = observed || run->target->isFocusedAndEditable();
    // Where the target pastes while the user types on, the text's length is read before the
    // caret: keys that reach the field after this look stand behind the trigger, and go there.
    const std::optional<qint64> textLength = !focused || !run->target->selectsWhilePasting() ? std::nullopt
        : observed                                                                           ? plan.observedLength
                                                                                             : run->target->textLength();
    const std::optional<TextRange> selection = !focused ? std::nullopt : observed ? observed : run->target->selection();
    if (!selection || selection->length != 0) {
        // A busy application may not answer within the messaging timeout, though it would a
        // moment later; one that does not answer at all must not keep the keys held for long.
        if (attempts > 1 && ++run->unanswered <= unansweredLooks) {
            m_schedule(caretCheckDelay, [this, run, attempts] { waitForFinalKey(run, attempts - 1); });
            return;
        }
        return giveUp(*run,
            focused ? QStringLiteral("the selection could not be read or is not empty")
                    : QStringLiteral("the field lost the focus"));
    }

    // Beyond every place the trigger may end, the field has more than the engine has read so
    // far: keys the engine reads late may still explain it, so only a caret that stays put
    // there ends the wait.
    // The keys typed behind the trigger may have reached the field before the engine read the
    // run's first key, too: its caret was then as far ahead.
    const qint64 location = selection->location;
    const bool withinReach = location >= length && location >= expectedCaret - plan.mayEndBefore - run->after.size()
        && location <= expectedCaret + plan.mayEndBeyond;
    const bool alternative = location == alternativeCaret;
    const std::optional<QString> beforeCaret = withinReach || alternative || location == expectedCaret
        ? run->target->text(TextRange{location - length, length})
        : std::nullopt;
    // Chromium reports the caret a moment after the text: a caret with text behind it may still
    // stand in front of keys that have reached the field, where the paste would leave the caret
    // and the next keys would go. Only one that stays put with the text over a look is where
    // the user types.
    const bool caretMayLag = textLength && *textLength > location && run->target->pastesOnceSelectionShows()
        && (run->lastLook != location || run->lastLength != textLength);
    run->lastLength = textLength;
    const bool typedBeforeCaret = equalText(beforeCaret, typed);
    const bool decides = typedBeforeCaret && !caretMayLag;
    if (typedBeforeCaret && caretMayLag)
        qCDebug(lcEngine).noquote() << "The caret behind" << run->plan.trigger << "at" << location << "has"
                                    << *textLength - location << "units behind it: looking again";
    if (decides)
        run->lengthAtDecision = textLength;
    if (decides && location == expectedCaret)
        return replace(run, location);
    if (decides && alternative) {
        // The same caret and text may also mean that the field has not applied the final key
        // yet (a trigger of one repeated character typed after that character): then only a
        // caret that stays put tells that the alternative holds. The text just read holds what
        // the field would show then.
        const qint64 missing = expectedCaret - location;
        const qint64 shown = length - missing;
        const bool finalKeyMayBePending = shown <= 0 || Text::equal(beforeCaret->right(shown), typed.left(shown));
        if (!finalKeyMayBePending || attempts <= 1)
            return replace(run, location);
    }
    // Elsewhere within reach, the trigger right before a caret that stays put over one more
    // look is where the run ended: a field still busy with earlier keys when the run began, or
    // an engine that read the caret late, leave the expectation a few keys off, while the keys
    // typed after the final key are held.
    if (decides && withinReach && run->settling == location && (!repeatsItself(typed) || attempts <= 1))
        return replace(run, location);
    // A caret that stays put with other text before it is not going to show the trigger.
    run->unlike = !typedBeforeCaret && location >= expectedCaret && run->lastLook == location ? run->unlike + 1 : 0;
    run->settling = typedBeforeCaret ? std::optional<qint64>(location) : std::nullopt;
    run->lastLook = location;
    // What the engine saw a moment ago decided nothing: look at the field as it is now (which
    // does not yet tell whether the caret stays put).
    if (observed && !caretMayLag && when == LookAt::finalKeyTurn) {
        // Undecided: looked at as if this look had not been made.
        run->settling.reset();
        run->lastLook.reset();
        run->unlike = 0;
        return lookInLaterTurn(run);
    }
    if (observed && !caretMayLag) {
        run->settling.reset();
        return waitForFinalKey(run, attempts);
    }
    if (attempts > 1 && run->unlike < unlikeLooks) {
        // A field still behind the final key mostly applies it within a few milliseconds: the
        // first looks after such a look come soon, and take none of the looks counted above,
        // which stay as many and as far apart as a field kept busy by a loaded machine needs.
        if (location < expectedCaret && run->quickLooks < quickCaretLooks) {
            const double delay = quickCaretCheckDelay * std::pow(quickCaretCheckGrowth, run->quickLooks++);
            m_schedule(delay, [this, run, attempts] { waitForFinalKey(run, attempts); });
            return;
        }
        m_schedule(caretCheckDelay, [this, run, attempts] { waitForFinalKey(run, attempts - 1); });
        return;
    }
    giveUp(*run,
        QStringLiteral("the caret never showed the trigger: at %1 (expected %2, alternative %3, reach -%4/+%5), "
                       "\"%6\" before it, %7 typed after it, %8 looks left, %9 unlike")
            .arg(location)
            .arg(expectedCaret)
            .arg(alternativeCaret)
            .arg(plan.mayEndBefore)
            .arg(plan.mayEndBeyond)
            .arg(beforeCaret.value_or(QStringLiteral("?")), run->after)
            .arg(attempts - 1)
            .arg(run->unlike));
}

void ExpansionReplacement::replace(const std::shared_ptr<Run>& run, qint64 caret)
{
    run->caret = caret;
    run->range = TextRange{caret - run->typed().size(), run->typed().size()};
    if (!run->after.isEmpty())
        run->expansionBytes = run->pasted().toUtf8();

    std::optional<QList<ClipboardItemSnapshot>> previous = takePrevious();
    if (!previous)
        return giveUp(*run,
            QStringLiteral("the clipboard was not saved (saved at change %1, now %2, unsaved at %3)")
                .arg(m_prepared ? m_prepared->changeCount : -1)
                .arg(m_clipboard.changeCount())
                .arg(m_unsaved ? m_unsaved->first : -1));
    run->previous = std::move(*previous);
    // The caret and the trigger's text were confirmed just now, in this same turn of the event
    // loop, with the keyboard held: nothing typed can have come between, so they are not asked
    // for again before the trigger is selected.
    if (!isCurrent(*run))
        return giveUp(*run, QStringLiteral("no longer current before selecting"));
    if (run->target->selectsWhilePasting()) {
        // The paste follows the selection the moment the field shows it: the expansion goes on
        // the clipboard first, once the keys of the paste can still reach the field.
        if (!run->target->canStillPaste())
            return giveUp(*run, QStringLiteral("the keyboard cannot reach the field"));
        // Keys typed on that reached the field since the look are selected with the trigger, and
        // pasted again behind the expansion, where the paste leaves the caret.
        const qint64 end = run->range.location + run->range.length;
        if (run->target->pastesKeysBehindAgain() && run->lengthAtDecision == end) {
            const std::optional<qint64> length = run->target->textLength();
            const std::optional<QString> keys = length ? keysBehindSelection(*run, *length) : std::nullopt;
            if (!keys)
                return giveUp(*run, QStringLiteral("what stands behind the trigger cannot be pasted again behind it"));
            if (!keys->isEmpty()) {
                run->displaced = *keys;
                run->range.length += keys->size();
                run->caret += keys->size();
                run->expansionBytes = run->pasted().toUtf8();
                run->lengthAtDecision = length;
            }
        }
        if (!lend(run))
            return giveUp(*run, QStringLiteral("the expansion did not stay on the clipboard"));
        if (isCurrent(*run) && owns(run->receipt, run->injected)
            && selectForPaste(run, run->range, run->selected(), run->lengthAtDecision))
            return;
        // The trigger may be selected by now: the next key must not replace it.
        return abandonSelection(run, selectionChecks);
    }
    // The trigger is selected before the expansion takes the clipboard: an application that
    // looks at the clipboard when its selection changes (a mail body updating its Paste
    // command) asks the clipboard's owner, which must not be this process while it waits for
    // that application to answer (Thunderbird then waits two seconds for us).
    if (!run->target->select(run->range) || !lend(run))
        return abandonSelection(run, selectionChecks);
    waitForSelection(run, selectionChecks);
}

bool ExpansionReplacement::lend(const std::shared_ptr<Run>& run)
{
    // Clipboard managers keep no history of contents marked as a password manager's (KDE's
    // Klipper, newer CopyQ) or as hidden (CopyQ): an expansion is on the clipboard only for
    // the paste, and the user's history stays theirs.
    run->injected = {ClipboardItemSnapshot{{
        ClipboardRepresentation{textType, run->expansionBytes},
        ClipboardRepresentation{markerType, Uuid::generate().toUtf8()},
        ClipboardRepresentation{ClipboardFormats::passwordManagerHint, QByteArrayLiteral("secret")},
        ClipboardRepresentation{ClipboardFormats::hiddenFromHistory, QByteArrayLiteral("1")},
    }}};
    m_clipboard.entrust(run->previous);
    run->receipt = m_clipboard.write(run->injected);
    if (!run->receipt.succeeded) {
        if (m_clipboard.changeCount() == run->receipt.changeCount)
            m_clipboard.write(run->previous);
        return false;
    }
    // Whether someone else wrote since is asked where it matters, just before the paste keys
    // go out: their contents then stay, and the trigger stays as typed. Asking here too would
    // cost a round trip to the server at every expansion and decide nothing more.
    return true;
}

void ExpansionReplacement::waitForSelection(const std::shared_ptr<Run>& run, int attempts)
{
    const std::optional<TextRange> selection = run->target->selection();
    const bool selected = selection == run->range;
    // A selection that cannot be read this moment (a busy field) may still come.
    if (!selected && attempts > 1 && (!selection || selection == run->caretRange()) && isCurrent(*run)) {
        m_schedule(selectionCheckDelay, [this, run, attempts] { waitForSelection(run, attempts - 1); });
        return;
    }
    // The paste itself makes sure that the field still has the focus.
    if (selected && isCurrent(*run) && owns(run->receipt, run->injected)
        && (run->readsBeforePaste = m_clipboard.readsByFocusedApplication(), run->target->paste())) {
        m_sentPaste = true;
        schedulePasteCheck(run, firstPasteCheckDelayFor(*run));
        return;
    }
    abandonSelection(run, selectionChecks);
}

bool ExpansionReplacement::selectForPaste(
    const std::shared_ptr<Run>& run, TextRange range, const QString& selected, std::optional<qint64> lengthBefore)
{
    const std::optional<qint64> length = lengthBefore ? lengthBefore : run->target->textLength();
    if (!length || !run->target->selectForPaste(range, *length))
        return false;
    run->selecting = range;
    run->selectingText = selected;
    run->lengthAtSelection = *length;
    return pasteOnceSelecting(run);
}

bool ExpansionReplacement::pasteOnceSelecting(const std::shared_ptr<Run>& run)
{
    const TextRange range = run->selecting;
    run->behind.clear();
    run->tookPlace.clear();
    // Where the paste goes again, the field already shows keys out of place, which giving up
    // would leave there: a busy page is given longer to show the selection.
    run->selectionLooks = run->pastedInFront > 0 ? selectionChecksAgain : selectionChecks;
    // A field that applies the selection before any key that comes after it takes the paste at
    // once, which leaves the least time for a key to come between. Keys that stand behind the
    // selection now reached the field before it, since it was last looked at: they go into it,
    // or the caret the paste leaves would stand in front of them.
    if (!run->target->pastesOnceSelectionShows()) {
        const qint64 end = range.location + range.length;
        if (run->target->pastesKeysBehindAgain() && range == run->range && run->lengthAtSelection == end) {
            run->selectionShown = false;
            carryOnceSelected(run, run->selectionLooks);
            return true;
        }
        return sendPaste(run);
    }
    run->selectionShown = false;
    m_schedule(firstPasteCheckDelay, [this, run] { pasteOnceSelected(run, run->selectionLooks); });
    return true;
}

bool ExpansionReplacement::sendPaste(const std::shared_ptr<Run>& run)
{
    if (!owns(run->receipt, run->injected))
        return false;
    run->readsBeforePaste = m_clipboard.readsByFocusedApplication();
    if (!run->target->pasteSelection())
        return false;
    m_sentPaste = true;
    run->pasteWaited = 0;
    run->pasteLookedAt = 0;
    run->answeringSince.reset();
    run->pasteLookedLonger = 0;
    run->reshaped.reset();
    run->plainKeySince.reset();
    schedulePasteCheck(run, firstPasteCheckDelayFor(*run));
    return true;
}

void ExpansionReplacement::pasteOverSelection(const std::shared_ptr<Run>& run, int attempts)
{
    if (sendPaste(run))
        return;
    // A busy field may not answer this moment whether it still has the focus. A key may already
    // have taken the selection's place, and without the paste the trigger would be gone: the
    // paste is tried again a few times before the selection is given up.
    if (attempts > 1 && !run->target->pasteLost() && run->target->canStillPaste() && owns(run->receipt, run->injected)) {
        qCDebug(lcEngine).noquote() << "The paste over" << run->selectingText << "could not be sent: trying again";
        m_schedule(selectionCheckDelay, [this, run, attempts] { pasteOverSelection(run, attempts - 1); });
        return;
    }
    qCDebug(lcEngine).noquote() << "The paste over" << run->selectingText << "could not be sent";
    abandonSelection(run, selectionChecks);
}

void ExpansionReplacement::pasteOnceSelected(const std::shared_ptr<Run>& run, int attempts)
{
    // A browser's page reports the selection only once it has applied it, after every key that
    // reached it before, and before every key that comes after: a paste sent now follows it.
    const TextRange range = run->selecting;
    const qint64 end = range.location + range.length;
    const auto [selection, length, shown, inPlace] = lookAtSelecting(*run->target, range, run->selectingText);
    // Chromium does not answer every question while it changes the text: only a range beyond
    // the text has no text.
    bool answered = selection && length && (shown || end > *length);
    bool paste = false;
    if (answered && inPlace && *selection == range) {
        // Keys that reached the field behind the range before the selection did stay behind the
        // expansion, and the caret goes behind them with the paste: only at the end of the text.
        const qint64 grown = *length - run->lengthAtSelection;
        const std::optional<QString> behind = grown > 0 && end == run->lengthAtSelection && grown <= typedOnKeys
            ? run->target->text(TextRange{end, grown})
            : std::nullopt;
        if (grown == 0 || (behind && behind->size() == grown && isTypedText(*behind))) {
            run->behind = behind.value_or(QString());
            paste = true;
        }
        answered = grown <= 0 || end != run->lengthAtSelection || grown > typedOnKeys || behind;
    } else if (answered && !inPlace && run->lengthAtSelection == end && *length > range.location
        && *length - range.location <= typedOnKeys) {
        // The field applied the selection and keys typed on took the range's place, at the end
        // of the text (Chromium reports the caret a moment after the text): the paste lands
        // behind them and is then put in front of them. A field that lost some of the range
        // instead (a deletion, the selection not applied yet) gets no paste.
        // Only keys can have taken it: other text there (a key that landed inside the range before
        // the selection, which then covers other text) is looked at again, or the reports awaited.
        const std::optional<QString> typed = run->target->text(TextRange{range.location, *length - range.location});
        const bool keys = typed && mayBeKeys(*run, *typed);
        paste = keys && typed->size() == *length - range.location && isTypedText(*typed)
            && !run->selectingText.startsWith(*typed);
        answered = keys;
        if (paste)
            run->tookPlace = *typed;
    }
    // A key that reached the page behind the range before the selection but does not show yet
    // would stay behind the paste's caret, and end behind the keys typed after it: nothing
    // behind the range, selected or taken by keys typed on, must read back so over two looks.
    if (paste && run->behind.isEmpty() && run->target->showsSelectionBeforeEarlierKeys()
        && !std::exchange(run->selectionShown, true) && attempts > 1) {
        run->tookPlace.clear();
        m_schedule(selectionCheckDelay, [this, run, attempts] { pasteOnceSelected(run, attempts - 1); });
        return;
    }
    if (!paste && attempts > 1 && (!answered || (inPlace && *selection != range))) {
        // Not applied yet (or a busy field did not answer): keys typed on meanwhile stand behind.
        // The caret may be reported short of them for a moment.
        m_schedule(selectionCheckDelay, [this, run, attempts] { pasteOnceSelected(run, attempts - 1); });
        return;
    }
    if (paste) {
        qCDebug(lcEngine).noquote() << "The selection of" << range.location << "+" << range.length << "showed after"
                                    << run->selectionLooks - attempts + 1 << "looks," << run->behind.size()
                                    << "keys behind it," << run->tookPlace.size() << "in its place";
        return pasteOverSelection(run, unansweredLooks);
    }
    qCDebug(lcEngine).noquote() << "The selection of" << range.location << "+" << range.length << "did not show:"
                                    << (selection ? selection->location : -1) << "+" << (selection ? selection->length : -1)
                                    << "in" << length.value_or(-1) << "units";
    abandonSelection(run, selectionChecks);
}

void ExpansionReplacement::carryOnceSelected(const std::shared_ptr<Run>& run, int attempts)
{
    // What the page's text reads may lag behind the keys it has applied: a key that reached it
    // just before the selection may not show yet, and the paste would leave the caret in front
    // of it, where the next key goes. The page reports its changes in the order it made them,
    // so once it shows the selection, every key that came before it shows too, behind it.
    const TextRange range = run->selecting;
    const qint64 end = range.location + range.length;
    const auto [selection, length, shown, inPlace] = lookAtSelecting(*run->target, range, run->selectingText);
    if (inPlace && selection == range && length) {
        run->carriedBehind.clear();
        // Firefox may report the selection a moment before the text of a key it applied first:
        // the selection must read back the same over two looks.
        if (*length <= end && !std::exchange(run->selectionShown, true) && attempts > 1) {
            m_schedule(selectionCheckDelay, [this, run, attempts] { carryOnceSelected(run, attempts - 1); });
            return;
        }
        if (*length <= end) {
            qCDebug(lcEngine).noquote() << "The selection of" << range.location << "+" << range.length << "showed after"
                                        << run->selectionLooks - attempts + 1 << "looks, nothing behind it";
            return pasteOverSelection(run, unansweredLooks);
        }
        const std::optional<QString> keys = keysBehindSelection(*run, *length);
        if (keys && !run->keysBehindLeft && carryKeysBehind(run, *keys, *length))
            return;
        // Not taken into it (the selection with them refused, or the text behind it not read
        // whole), the selection shown stays, and a key typed meanwhile may already have taken its
        // place: given up then, the trigger would be gone without its paste ("Hi ok"). The next
        // look tells; one that still finds it selected gives up.
        if (!run->keysBehindLeft && run->selecting == range && attempts > 1) {
            run->keysBehindLeft = true;
            m_schedule(selectionCheckDelay, [this, run, attempts] { carryOnceSelected(run, attempts - 1); });
            return;
        }
        qCDebug(lcEngine).noquote() << "The selection of" << range.location << "+" << range.length << "showed with"
                                    << *length - end << "units behind it that are not taken into it";
        return abandonSelection(run, selectionChecks);
    }
    // Only a range beyond the text has no text: keys typed after the selection took its place.
    const bool answered = selection && length && (shown || end > *length);
    // Not shown yet, or the page did not answer this moment.
    if (attempts > 1 && (!answered || (inPlace && selection != range))) {
        m_schedule(selectionCheckDelay, [this, run, attempts] { carryOnceSelected(run, attempts - 1); });
        return;
    }
    // A key typed after the selection took the trigger's place: the paste lands behind it, and
    // goes again in front of it (pasteBehindTypedKeys()). Without the paste the trigger would be
    // gone.
    if (!inPlace && answered) {
        // What stands there now: the keys that took the range's place, followed by any that had
        // reached the page behind it first, which were typed before them.
        const std::optional<QString> typed = length && *length > range.location
                && *length - range.location <= typedOnKeys
            ? run->target->text(TextRange{range.location, *length - range.location})
            : std::nullopt;
        // A paste made again where the paste before left the caret in front of keys behind it: a
        // key typed meanwhile may land inside the range before its selection applies, which then
        // covers it. The range goes again with it, the key behind the others. (Given up, the
        // selection stayed over the user's text: "Hi oBest regards, Annak ".)
        QString landedIn;
        if (const std::optional<QString> keys
            = selection == range ? keysInsideSelection(*run, *length, landedIn) : std::nullopt;
            keys && carryKeysBehind(run, *keys, *length, landedIn))
            return;
        // Other text than keys there: the selection covers something else (see pasteOnceSelected()).
        if (typed && !mayBeKeys(*run, *typed)) {
            if (attempts <= 1) {
                qCDebug(lcEngine).noquote() << "Other text than keys typed on stands where" << run->selectingText
                                            << "was selected (\"" << *typed << "\" read)";
                return abandonSelection(run, selectionChecks);
            }
            m_schedule(selectionCheckDelay, [this, run, attempts] { carryOnceSelected(run, attempts - 1); });
            return;
        }
        if (typed && typed->size() == *length - range.location && isTypedText(*typed))
            run->tookPlace = *typed;
        // Where keys behind the trigger were asked to be selected with it after it showed selected,
        // a key may have taken the trigger's place first, those keys still behind it: that
        // selection then covers the key, as the page shows or will show a moment later, and the
        // paste or the next key would replace it ("Hi Best regards, Anna  k"). The keys behind
        // are no longer taken into the paste, and the caret is asked for between them and the
        // key, where the text, not a selection read a moment ago, tells (a key that came since
        // would end in front of it); the page applies the requests in order.
        const qint64 behind = run->carriedBehind.size();
        if (behind > 0 && typed && typed->size() > behind && typed->endsWith(run->carriedBehind)) {
            run->displaced.chop(behind);
            if (run->pastedInFront > 0)
                run->selectedAgain.chop(behind);
            run->range.length -= behind;
            run->caret -= behind;
            run->expansionBytes = run->pasted().toUtf8();
            run->selecting = run->range;
            run->selectingText = run->selected();
            run->lengthAtSelection = run->range.location + run->range.length;
            lend(run);
            run->target->select(TextRange{*length - behind, 0});
        }
        run->carriedBehind.clear();
        qCDebug(lcEngine).noquote() << "Keys took the place of" << run->selectingText << "before the paste:"
                                    << "pasting behind them (\"" << typed.value_or(QString()) << "\" read, selection"
                                    << selection->location << "+" << selection->length << ")";
        return pasteOverSelection(run, unansweredLooks);
    }
    qCDebug(lcEngine).noquote() << "The selection of" << range.location << "+" << range.length << "did not show:"
                                << (selection ? selection->location : -1) << "+" << (selection ? selection->length : -1)
                                << "in" << length.value_or(-1) << "units";
    abandonSelection(run, selectionChecks);
}

std::optional<QString> ExpansionReplacement::keysBehindSelection(const Run& run, qint64 length)
{
    const qint64 end = run.range.location + run.range.length;
    if (length <= end)
        return QString();
    // A letter typed over by the paste key, and what goes back over a paste, are selected alone.
    if (run.carried >= carries || run.pastedAgain || run.puttingBack || length - end > typedOnKeys)
        return std::nullopt;
    // A line break would not be pasted as the key typed it.
    std::optional<QString> keys = run.target->text(TextRange{end, length - end});
    if (!keys || keys->size() != length - end || !isTypedText(*keys))
        return std::nullopt;
    return keys;
}

std::optional<QString> ExpansionReplacement::keysInsideSelection(const Run& run, qint64 length, QString& shownThere)
{
    const TextRange range = run.selecting;
    const qint64 reach = length - range.location;
    const qint64 grown = reach - run.selectingText.size();
    if (run.pastedInFront == 0 || run.puttingBack || run.carried >= carries || grown <= 0 || grown > typedOnKeys)
        return std::nullopt;
    const std::optional<QString> shown = run.target->text(TextRange{range.location, reach});
    if (!shown || shown->size() != reach)
        return std::nullopt;
    // What was selected stands there in order, with the keys between.
    QString keys;
    qsizetype matched = 0;
    for (const QChar c : *shown) {
        if (matched < run.selectingText.size() && c == run.selectingText.at(matched))
            ++matched;
        else
            keys += c;
    }
    // Each of them reported as typed (a report may come a moment after the text: the next look).
    const bool reported = !run.plan.keysReported || withoutEach(run.plan.keysReported(), keys);
    if (matched != run.selectingText.size() || !isTypedText(keys) || !reported)
        return std::nullopt;
    shownThere = *shown;
    return keys;
}

bool ExpansionReplacement::carryKeysBehind(
    const std::shared_ptr<Run>& run, const QString& keys, qint64 length, const std::optional<QString>& landedIn)
{
    qCDebug(lcEngine).noquote() << keys.size() << "keys reached the field"
                                << (landedIn ? "inside the range of" : "behind") << run->plan.trigger
                                << "before its selection: selecting them with it";
    // Not selected, the field still shows the selection made before, which must stay known as
    // ours: giving up then puts the caret behind the keys, rather than leaving that selection for
    // the next key to replace (the expansion pasted before, or the trigger, lost: "Hi ko").
    const auto earlier
        = std::make_tuple(run->displaced, run->selectedAgain, run->range, run->caret, run->expansionBytes);
    ++run->carried;
    run->carriedBehind = landedIn ? QString() : keys;
    run->displaced += keys;
    if (landedIn)
        run->selectedAgain = *landedIn;
    else if (run->pastedInFront > 0)
        run->selectedAgain += keys;
    run->range.length += keys.size();
    run->caret = run->range.location + run->range.length;
    run->expansionBytes = run->pasted().toUtf8();
    // The expansion on the clipboard goes with them; the range is selected over the selection
    // the field shows.
    const bool lent = lend(run) && owns(run->receipt, run->injected);
    if (!lent || !run->target->select(run->range)) {
        qCDebug(lcEngine).noquote() << "Selecting them with it failed:"
                                    << (lent ? "the field took no selection" : "the clipboard was not ours");
        std::tie(run->displaced, run->selectedAgain, run->range, run->caret, run->expansionBytes) = earlier;
        run->carriedBehind.clear();
        // A paste still to come over the selection shown takes what stands for it alone.
        if (lent)
            lend(run);
        return false;
    }
    run->selecting = run->range;
    run->selectingText = run->selected();
    run->lengthAtSelection = length;
    return pasteOnceSelecting(run);
}

void ExpansionReplacement::abandonSelection(const std::shared_ptr<Run>& run, int attempts)
{
    // Keys that reached the field behind the trigger since the look that found it are passed
    // over, or the held keys would land in front of them.
    TextRange caret = run->caretRange();
    const QString typedAfter = run->typedAfterNow();
    if (typedAfter.size() > run->after.size() && typedAfter.startsWith(run->after)) {
        const QString later = typedAfter.mid(run->after.size());
        if (equalText(run->target->text(TextRange{run->caret, later.size()}), later))
            caret.location += later.size();
    }
    // Where the trigger was selected at the end of the text, keys may have come behind it since:
    // the caret goes behind them, or the next key would land in front of them.
    if (run->target->selectsWhilePasting() && run->lengthAtSelection == run->caret) {
        const std::optional<qint64> length = run->target->textLength();
        if (length && *length > caret.location && *length - caret.location <= typedOnKeys)
            caret.location = *length;
    }
    // A selection elsewhere is the user's own (a click while the keys were held). One that
    // cannot be read, or a request the busy field did not answer, is tried again while the
    // keys are still held: a selection on its way must not meet the next key.
    const std::optional<TextRange> selection = run->target->selection();
    const bool ours = !selection || *selection == run->range || *selection == run->caretRange() || *selection == caret;
    if (ours && !run->target->select(caret) && attempts > 1) {
        m_schedule(selectionCheckDelay, [this, run, attempts] { abandonSelection(run, attempts - 1); });
        return;
    }
    restore(*run);
    if (keptExpansion(*run)) {
        qCDebug(lcEngine).noquote() << "Expanded" << run->plan.trigger << "with keys typed on where they landed:"
                                    << "the selection to paste again over" << run->selectingText << "did not show";
        finish(*run);
        run->completed();
        return;
    }
    giveUp(*run,
        QStringLiteral("the trigger at %1 was not selected in time (selection %2+%3)")
            .arg(run->range.location)
            .arg(selection ? selection->location : -1)
            .arg(selection ? selection->length : -1));
}

bool ExpansionReplacement::keptExpansion(const Run& run)
{
    // The paste made again was to put keys typed on in order behind an expansion that had
    // arrived: where the field still shows that expansion (the paste again ignored, or not
    // made), it stays, and counts as one. Not where the trigger was left beside it, which the
    // paste again was to replace too, nor where the field dropped what was selected.
    if (run.pastedInFront == 0 || run.puttingBack || run.selectedAgain.count(run.plan.expansion) != 1
        || run.selectedAgain.contains(run.plan.trigger))
        return false;
    // A field too busy to answer is taken to show what it last showed.
    const std::optional<QString> shown = run.target->text(run.range);
    const QString pasted = run.pasted();
    return !shown || equalText(shown, run.selectedAgain)
        || equalText(run.target->text(TextRange{run.range.location, pasted.size()}), pasted);
}

double ExpansionReplacement::firstPasteCheckDelayFor(const Run& run)
{
    // Where the clipboard cannot tell that the field asked for the expansion, each early look
    // would ask the field: the first waits as long as a look may.
    return run.readsBeforePaste ? firstPasteCheckDelay : pasteCheckDelay;
}

bool ExpansionReplacement::schedulePasteCheck(const std::shared_ptr<Run>& run, double delay, int checks)
{
    const double pasteSeconds = pasteCheckDelay * checks;
    // Rounding must not cost the last look.
    delay = std::min(delay, pasteSeconds + run->pasteLookedLonger - run->pasteWaited);
    if (delay < firstPasteCheckDelay / 2)
        return false;
    run->pasteWaited += delay;
    m_schedule(delay, [this, run, delay] { verifyPaste(run, delay); });
    return true;
}

void ExpansionReplacement::verifyPaste(const std::shared_ptr<Run>& run, double delay)
{
    // Until the field has asked for the expansion it cannot show it: it is asked only as often
    // as a clipboard that cannot tell would have it asked.
    const bool unread = pasteMayBePending(*run);
    const bool look = !unread || run->pasteWaited - run->pasteLookedAt >= pasteCheckDelay * 0.99;
    bool settled = false;
    const bool focused = look && run->target->isFocusedAndEditable();
    // Whether the field still shows what was selected for the paste, selected: no key has come
    // since, and a paste on its way still lands where it belongs.
    bool stillSelected = false;
    if (look)
        run->pasteLookedAt = run->pasteWaited;
    if (look && !focused)
        run->answeringSince.reset();
    if (focused) {
        // The expansion, and any keys that reached the field behind the trigger before the hold.
        const QString pasted = run->pasted();
        const std::optional<QString> shown = run->target->text(TextRange{run->range.location, pasted.size()});
        const std::optional<TextRange> selection = run->target->selection();
        if (!selection)
            run->answeringSince.reset();
        else if (!run->answeringSince)
            run->answeringSince = run->pasteWaited;
        const bool selectionMoved = selection && *selection != run->range;
        stillSelected = run->target->pastesKeysBehindAgain() && selection == run->range
            && run->pasteWaited >= pasteCheckDelay * pasteChecks
            && equalText(run->target->text(run->range), run->selected());
        // The paste shows the whole expansion at once: a lone letter is the paste only where
        // the expansion is that letter. (A read of the clipboard proves nothing where the
        // compositor reads every new owner's contents itself.)
        const bool plainKeyPossible
            = unread || run->plan.expansion.compare(QLatin1String("v"), Qt::CaseInsensitive) != 0;
        if (plainKeyPossible && !run->pastedAgain && pastedPlainKey(run, selection))
            return;
        // Keys of ours still on their way behind the paste (End, a round trip later through a
        // desktop portal): a key typed before End arrives lands in front of those that stood behind
        // the trigger, and a selection asked for now would be undone by End. The paste is looked at
        // again once they are out.
        if (run->target->selectsWhilePasting() && (!selection || selectionMoved) && run->target->pasteKeysPending()
            && schedulePasteCheck(run, std::min(pasteCheckGrowth * delay, pasteCheckDelay)))
            return;
        // Keys typed on around the paste go behind it in the order the field reported them.
        if (selectionMoved && selection->length == 0 && !run->puttingBack && pasteInReportedOrder(run))
            return;
        // The expansion in place does not tell that the keys behind it are in order.
        if (selectionMoved && selection->length == 0 && pasteInFrontOfKeysTypedBeforeEnd(run))
            return;
        if (!equalText(shown, pasted) && selectionMoved && pasteBehindTypedKeys(run, *selection))
            return;
        if (!equalText(shown, pasted) && pasteBehindTrigger(run))
            return;
        // What is put back is the field's own text, which it may set in its own case.
        if (shown && sameButForCase(*shown, pasted) && (!selection || selectionMoved) && run->puttingBack) {
            // Keys the user typed behind what arrived before it was looked at keep the caret.
            const qint64 behindPaste = run->range.location + pasted.size();
            if (run->caretAfterPutBack && *run->caretAfterPutBack > behindPaste
                && selection == TextRange{behindPaste, 0})
                run->target->select(TextRange{*run->caretAfterPutBack, 0});
            restore(*run);
            return giveUp(*run, run->putBackWhy + QStringLiteral(", and the trigger was put back"));
        }
        if ((!selection || selectionMoved) && (equalText(shown, pasted) || arrivedOverLines(*run, selection))) {
            restore(*run);
            finish(*run);
            run->completed();
            return;
        }
        // The field asked for the expansion, took the paste (its selection moved on) and shows
        // something else where the expansion should be: once that stays, nothing more is coming.
        const bool read = !unread && run->readsBeforePaste && m_clipboard.readsByFocusedApplication();
        if (read && selectionMoved) {
            if (const auto seen = std::make_pair(*selection, shown); run->reshaped != seen) {
                run->reshaped = seen;
                run->reshapedSince = run->pasteWaited;
            }
            settled = run->pasteWaited - run->reshapedSince >= reshapedPasteSeconds;
        } else {
            run->reshaped.reset();
        }
    }
    // Lines pasted into a word processor whose paragraphs are elements of their own: the caret,
    // and the focus, are in the last of them.
    if (look && !focused && arrivedInAnotherElement(*run)) {
        restore(*run);
        finish(*run);
        run->completed();
        return;
    }
    // Whether the expansion is still ours is asked as often as the field is (it costs a
    // request to the window system).
    if (settled && putBackWhatArrived(run))
        return;
    // A field that cut the paste short (a maxlength) may report its caret a moment after its
    // text, or take a moment to show all it kept: it is looked at again while there is time,
    // or the keys held would go into a full field, and be lost.
    const bool mayBeCut
        = settled && !run->target->text(TextRange{run->range.location, run->pasted().size()}) && !run->puttingBack;
    // Where the field may still be reading the clipboard for a paste that has reached it, the
    // trigger stays selected a while longer: deselected, a paste arriving late would land
    // beside it.
    const int checks = stillSelected || (!look && run->target->pastesKeysBehindAgain()
                                            && run->pasteWaited >= pasteCheckDelay * pasteChecks)
        ? pasteChecks + slowPasteChecks
        : pasteChecks;
    if ((!settled || mayBeCut) && !run->target->pasteLost() && (!look || owns(run->receipt, run->injected))
        && schedulePasteCheck(run, std::min(pasteCheckGrowth * delay, pasteCheckDelay), checks))
        return;
    // A stalled application that goes on again answers questions before it gets to the keys
    // queued for it meanwhile: a field that has only just begun to answer may still have the
    // paste keys ahead of it. It is looked at for a while longer, once.
    if (!settled && run->pasteLookedLonger == 0 && !run->target->pasteLost() && mayStillHavePasteKeys(*run)
        && owns(run->receipt, run->injected) && run->target->isFocusedAndEditable()) {
        run->pasteLookedLonger = resumedFieldSeconds + pasteCheckDelay;
        qCDebug(lcEngine).noquote() << "The field of" << run->plan.trigger
                                    << "answers again after a stall: looking for the paste a while longer";
        if (schedulePasteCheck(run, pasteCheckDelay))
            return;
    }
    // Giving up leaves no paste key to come: keys not sent yet are taken back, and without
    // the paste key nothing can read the expansion any more.
    const bool pasteWithdrawn = run->target->withdrawPaste();
    // A field that answers may have taken a paste that did not arrive whole meanwhile (what was
    // copied since, or a cut expansion where the clipboard cannot tell that it was read).
    const bool taken = !owns(run->receipt, run->injected);
    if (!pasteWithdrawn && (!settled || mayBeCut) && putBackWhatArrived(run))
        return;
    // Nor may a page's paste yield nothing at all, read or not, or be taken back unsent: where
    // only keys stand in its place, they are not left so.
    if (!taken && (putBackOverKeysTyped(run) || pasteAgainOverUnchanged(run)))
        return;
    // A browser's page may take the paste before the selection it reported: what arrived is
    // still there whole, and is selected and pasted over once more.
    if (run->puttingBack && !run->putBackAgain && !pasteWithdrawn && !taken
        && equalText(run->target->text(run->range), run->selectedAgain) && run->target->select(run->range)) {
        run->putBackAgain = true;
        lookForPasteAfresh(*run);
        return waitForSelection(run, selectionChecks);
    }
    // The field has not asked for the expansion: the paste keys may still wait in a busy
    // application's queue, and the trigger must still be selected when they come, or the
    // expansion lands behind it. A field that has answered for a while, with the trigger still
    // selected, has ignored the paste: the trigger is left as typed, not selected. One that has
    // only just answered again after a stall answers before it takes the keys queued for it: a
    // selection changed now would be changed before the paste comes, which would then land
    // beside the trigger.
    bool ignored = false;
    if (pasteWithdrawn || !pasteMayBePending(*run)
        || (!mayStillHavePasteKeys(*run) && run->target->isFocusedAndEditable())) {
        ignored = run->target->selection() == run->range && equalText(run->target->text(run->range), run->selected());
        if (ignored)
            run->target->select(run->caretRange());
    }
    if (pasteWithdrawn || settled)
        restore(*run);
    else
        restoreOnceRead(run);
    const std::optional<TextRange> selection = run->target->selection();
    // A busy field may show the paste between the last look and this one: it arrived, and counts
    // as the expansion it is (a look after the replacement would not come before the next trigger).
    if (!run->target->selectsWhilePasting() && !pasteWithdrawn && !run->puttingBack && m_awaitingRead != run
        && selection != run->range && arrivedInPlace(*run, selection)) {
        qCDebug(lcEngine).noquote() << "The paste of" << run->plan.trigger
                                    << "showed in the field as the wait for it ended: expanded";
        finish(*run);
        run->completed();
        return;
    }
    // What stands from the trigger's place to the end (a line's worth): where keys typed meanwhile
    // ended up.
    // Where the length cannot be read, what stands up to the caret.
    const std::optional<qint64> length = run->target->textLength();
    const std::optional<qint64> end = length  ? length
        : selection && selection->length == 0 ? std::optional<qint64>(selection->location)
                                              : std::nullopt;
    const std::optional<QString> shown = end && *end > run->range.location
        ? run->target->text(TextRange{run->range.location, std::min<qint64>(*end - run->range.location, 80)})
        : std::nullopt;
    if (keptExpansion(*run)) {
        qCDebug(lcEngine).noquote() << "Expanded" << run->plan.trigger << "with keys typed on where they landed:"
                                    << "the paste again over" << run->selectedAgain << "did not show (\""
                                    << shown.value_or(QStringLiteral("?")) << "\" there)";
        finish(*run);
        run->completed();
        return;
    }
    giveUp(*run,
        QStringLiteral("the paste did not show in the field (%1+%2 selected, the trigger at %3, \"%4\" there, "
                       "%5 pasted in front)")
            .arg(selection ? selection->location : -1)
            .arg(selection ? selection->length : -1)
            .arg(run->range.location)
            .arg(shown.value_or(QStringLiteral("?")))
            .arg(run->pastedInFront));
    if (!pasteWithdrawn && !ignored)
        watchLatePaste(run);
}

bool ExpansionReplacement::pastedPlainKey(const std::shared_ptr<Run>& run, const std::optional<TextRange>& selection)
{
    // A paste key that reached the field without its Ctrl types its letter over the selected
    // trigger, and the field never asks for the clipboard: the letter, with the caret right
    // behind it where the trigger began, is selected and the paste sent once more.
    // A "v" the user typed just before the paste arrived looks the same for a moment, with the
    // paste right behind it in the application's queue: the letter must stay a while first.
    const TextRange letter{run->range.location, 1};
    const std::optional<QString> shown = run->target->pasteKeysPending()
            || selection != TextRange{letter.location + 1, 0}
        ? std::nullopt
        : run->target->text(letter);
    if (!shown || shown->compare(QLatin1String("v"), Qt::CaseInsensitive) != 0) {
        run->plainKeySince.reset();
        return false;
    }
    if (!run->plainKeySince)
        run->plainKeySince = run->pasteWaited;
    if (run->pasteWaited - *run->plainKeySince < plainKeySeconds)
        return false;
    run->pastedAgain = true;
    if (!owns(run->receipt, run->injected) || !selectForPaste(run, letter, shown.value()))
        return false;
    return true;
}

bool ExpansionReplacement::pasteBehindTypedKeys(const std::shared_ptr<Run>& run, TextRange selection)
{
    // Where nothing holds the user's keys, a key can reach the field between the selection of
    // the trigger and the paste: it takes the trigger's place, and the expansion lands behind
    // it, the keys typed since behind the expansion. All of it up to the caret is selected and
    // pasted again in the order typed. A key that comes between that selection and its paste
    // is the latest typed, so the same again puts it in its place.
    if (!run->target->selectsWhilePasting() || run->pastedInFront >= pastesInFront || selection.length != 0)
        return false;
    // What the paste put there, and the keys that reached the field behind the selection first.
    const QString landed = run->pasted() + run->behind;
    // Typing at the end of the text, all of it up to the end: Chromium reports the caret a
    // moment after the text, and a caret read short would leave the latest keys in front of
    // what is pasted again.
    const std::optional<qint64> length = run->lengthAtSelection == run->selecting.location + run->selecting.length
        ? run->target->textLength()
        : std::nullopt;
    const qint64 reach = (length ? *length : selection.location) - run->range.location;
    if (reach <= landed.size() || reach > landed.size() + 2 * typedOnKeys)
        return false;
    const std::optional<QString> shown = run->target->text(TextRange{run->range.location, reach});
    // A paste that came while the trigger was not selected stands behind the trigger instead:
    // that is no key typed.
    if (!shown || shown->size() != reach || shown->startsWith(run->typed()))
        return false;
    // The paste followed the selection, so the keys in front of it came after those behind the
    // selection and before those behind the paste. Where the expansion could stand in more
    // than one place, the order cannot be told.
    qsizetype at = -1;
    for (qsizetype front = 1; front <= std::min<qint64>(typedOnKeys, reach - landed.size()); ++front) {
        if (!Text::equal(shown->mid(front, landed.size()), landed))
            continue;
        if (at >= 0)
            return false;
        at = front;
    }
    // Where the paste followed the selection at once, a later key may have overtaken the
    // selection: only one key in front tells the order. Not where keys that stood behind the
    // applied selection were taken into it before the paste: every key in front came after.
    if (at < 0 || (at != 1 && !run->target->pastesOnceSelectionShows() && !run->target->pastesKeysBehindAgain()))
        return false;
    // Where keys took the range's place, the text there was those keys followed by any that had
    // reached the field behind the range first: the latter were typed first, though they stand
    // behind the paste, and keys in front of the paste beyond the former came after them, at the
    // caret. Where the key that takes the caret behind them follows the paste a round trip later
    // (End through a desktop portal), keys typed in that moment land between the paste and the
    // former, and came after those in front. Where more than one order fits, it cannot be told.
    const QString front = shown->left(at);
    const QString back = shown->mid(at + landed.size());
    std::optional<QString> keys;
    if (run->tookPlace.isEmpty())
        keys = front + back;
    for (qsizetype split = 1; split <= run->tookPlace.size(); ++split) {
        const QString first = run->tookPlace.mid(split);
        if (!front.startsWith(run->tookPlace.left(split)))
            continue;
        for (qsizetype from = 0; from <= (first.isEmpty() ? 0 : back.size() - first.size()); ++from) {
            if (!Text::equal(back.mid(from, first.size()), first))
                continue;
            const QString order = first + front + back.left(from) + back.mid(from + first.size());
            if (keys && *keys != order)
                return false;
            keys = order;
        }
    }
    if (!keys || !isTypedText(*keys) || !pasteAgainOver(run, *shown, run->behind + *keys, reach, length))
        return false;
    qCDebug(lcEngine).noquote() << "Keys took the place of" << run->plan.trigger
                                << "before the paste came: pasting again in front of" << keys->size() << "(\"" << *shown
                                << "\" read," << front.size() << "in front)";
    return true;
}

bool ExpansionReplacement::pasteInFrontOfKeysTypedBeforeEnd(const std::shared_ptr<Run>& run)
{
    // Keys that reached the page behind the trigger before its selection stay behind the paste,
    // and End takes the caret behind them only a round trip later (a desktop portal): a key
    // typed in that moment lands between the paste and them, though typed after them, and
    // Chromium may report it with the paste rather than on its own. Keys that took the
    // selection's place after the page had shown it came after them too.
    if (!run->target->selectsWhilePasting() || run->behind.isEmpty() || !run->tookPlace.isEmpty() || run->puttingBack
        || run->pastedInFront >= pastesInFront)
        return false;
    const QString pasted = run->pasted();
    const std::optional<qint64> length = run->target->textLength();
    const qint64 reach = length ? *length - run->range.location : 0;
    if (reach <= pasted.size() + run->behind.size() || reach > pasted.size() + 2 * typedOnKeys)
        return false;
    const std::optional<QString> shown = run->target->text(TextRange{run->range.location, reach});
    if (!shown || shown->size() != reach)
        return false;
    // Where the paste, or those keys behind it, could stand in more than one place, the order
    // cannot be told.
    qsizetype at = -1;
    for (qsizetype front = 0; front <= reach - pasted.size() - run->behind.size(); ++front) {
        if (!Text::equal(shown->mid(front, pasted.size()), pasted))
            continue;
        if (at >= 0)
            return false;
        at = front;
    }
    const QString rest = at < 0 ? QString() : shown->mid(at + pasted.size());
    const qsizetype from = rest.indexOf(run->behind);
    if (from <= 0 || rest.indexOf(run->behind, from + 1) >= 0)
        return false;
    const QString keys = shown->left(at) + rest.left(from) + rest.mid(from + run->behind.size());
    if (!isTypedText(keys) || !pasteAgainOver(run, *shown, run->behind + keys, reach, length))
        return false;
    qCDebug(lcEngine).noquote() << keys.size() << "keys landed around the paste of" << run->plan.trigger
                                << "in front of the keys behind it: pasting again with them behind (\"" << *shown
                                << "\" read)";
    return true;
}

bool ExpansionReplacement::pasteInReportedOrder(const std::shared_ptr<Run>& run)
{
    // Typing at the end of the text only: all that stands from the trigger's place to the end is
    // the paste and the keys typed on.
    if (!run->target->selectsWhilePasting() || !run->plan.keysReported || run->pastedInFront >= pastesInFront
        || run->lengthAtSelection != run->selecting.location + run->selecting.length)
        return false;
    const std::optional<qint64> length = run->target->textLength();
    const qint64 reach = length ? *length - run->range.location : 0;
    if (reach < run->plan.expansion.size() || reach > run->plan.expansion.size() + 2 * typedOnKeys)
        return false;
    const std::optional<QString> shown = run->target->text(TextRange{run->range.location, reach});
    if (!shown || shown->size() != reach)
        return false;
    // What the paste made again is to go over still stands there: that paste has not landed yet
    // (a busy page may show the selection gone before the text changes), and another sent now
    // would take the clipboard from it as it reads.
    if (run->pastedInFront > 0 && Text::equal(*shown, run->selectedAgain))
        return schedulePasteCheck(run, pasteCheckDelay);
    bool lag = false;
    const std::optional<QString> keys = keysInReportedOrder(*run, *shown, lag);
    // The reports may come a moment after the text: a few looks wait for them before the order
    // is told from where the keys stand, or the paste taken as it shows.
    if (!keys && lag && run->reportsBehind++ < unreportedLooks && schedulePasteCheck(run, pasteCheckDelay))
        return true;
    if (!keys) {
        const bool doubted = lag
            || (shown->count(run->plan.expansion) == 1
                && !Text::equal(*shown, run->plan.expansion + run->plan.keysReported()));
        if (doubted && !std::exchange(run->reportsDoubted, true))
            qCDebug(lcEngine).noquote() << "The keys around the paste of" << run->plan.trigger << "(\"" << *shown
                                        << "\" read) are not all reported: \"" << run->plan.keysReported() << "\"";
        return false;
    }
    if (!pasteAgainOver(run, *shown, keys->mid(run->displaced.size()), reach, length))
        return false;
    qCDebug(lcEngine).noquote() << "Keys typed on stood out of order around the paste of" << run->plan.trigger << "(\""
                                << *shown << "\" read): pasting again with" << keys->size() << "behind it as reported";
    return true;
}

bool ExpansionReplacement::mayBeKeys(Run& run, const QString& text)
{
    const QString reported = run.plan.keysReported ? run.plan.keysReported() : QString();
    if (!run.plan.keysReported || (!reported.isEmpty() && withoutEach(reported, text)))
        return true;
    // The selected text still there with something inside it: no key took its place.
    qsizetype at = 0;
    for (const QChar c : run.selectingText) {
        at = text.indexOf(c, at);
        if (at < 0)
            break;
        ++at;
    }
    if (at >= 0)
        return false;
    // Gone, and what stands there not all reported: the reports may come a moment after the text
    // (or hold a key with others in one report), and are waited for a few looks; without the
    // paste the trigger would be lost.
    return ++run.keysAwaited > unreportedLooks;
}

std::optional<QString> ExpansionReplacement::keysInReportedOrder(const Run& run, const QString& shown, bool& lag)
{
    lag = false;
    if (!run.plan.keysReported || !run.after.isEmpty() || run.puttingBack)
        return std::nullopt;
    // The expansion stands there once, whole: a key cannot land inside a paste.
    const QString& expansion = run.plan.expansion;
    const qsizetype at = shown.indexOf(expansion);
    // A paste behind the trigger still in place is no key typed (pasteBehindTrigger()).
    if (shown.startsWith(run.typed()))
        return std::nullopt;
    if (at < 0 || shown.indexOf(expansion, at + 1) >= 0)
        return std::nullopt;
    const QString reported = run.plan.keysReported();
    // Keys already pasted behind the expansion went there in the order reported.
    if (!reported.startsWith(run.displaced) || !isTypedText(reported))
        return std::nullopt;
    // A key reported that does not stand there: something else changed the text, or a key typed
    // over a selection of ours that covered it took it away. Only the reports still have the
    // latter: the paste made again puts it back in the order typed.
    const QString shownKeys = shown.left(at) + shown.mid(at + expansion.size());
    std::optional<QString> unexplained = withoutEach(shownKeys, reported);
    // Not once a paste has been made again: a page may report what that paste moved as keys
    // deleted and typed (Firefox on sway), and those would be put back twice.
    bool typedOver = false;
    if (!unexplained && run.pastedInFront == 0 && run.plan.keysTypedOver) {
        const std::optional<QString> standing = withoutEach(reported, run.plan.keysTypedOver());
        unexplained = standing ? withoutEach(shownKeys, *standing) : std::nullopt;
        typedOver = unexplained.has_value();
    }
    // Otherwise, where keys were seen taking the selection's place, the paste landed right behind
    // them, which tells which came first better than reports a busy page may send out of turn.
    if (!unexplained || (!run.tookPlace.isEmpty() && !typedOver))
        return std::nullopt;
    if (!unexplained->isEmpty()) {
        lag = true;
        return std::nullopt;
    }
    // Already in the order typed: nothing to put right.
    if (at == 0 && Text::equal(shown.mid(expansion.size()), reported))
        return std::nullopt;
    return reported;
}

bool ExpansionReplacement::pasteBehindTrigger(const std::shared_ptr<Run>& run)
{
    // Typing at the end of the text only: what stands behind the trigger there is what was typed
    // after it, and the paste, once.
    if (!run->target->selectsWhilePasting() || run->pastedInFront >= pastesInFront || run->puttingBack
        || run->pastedAgain || run->lengthAtSelection != run->selecting.location + run->selecting.length)
        return false;
    const QString selected = run->selected();
    const QString pasted = run->pasted();
    const std::optional<qint64> length = run->target->textLength();
    const qint64 reach = length ? *length - run->range.location : 0;
    if (reach < selected.size() + pasted.size() || reach > selected.size() + pasted.size() + 2 * typedOnKeys)
        return false;
    const std::optional<QString> shown = run->target->text(TextRange{run->range.location, reach});
    if (!shown || shown->size() != reach || !Text::equal(shown->left(selected.size()), selected))
        return false;
    // Keys in front of the paste reached the page before it, those behind it after: where the
    // expansion could stand in more than one place, the order cannot be told.
    const qsizetype at = shown->indexOf(pasted, selected.size());
    if (at < 0 || shown->indexOf(pasted, at + 1) >= 0)
        return false;
    const QString keys = shown->mid(selected.size(), at - selected.size()) + shown->mid(at + pasted.size());
    const std::optional<TextRange> selection = run->target->selection();
    if (!isTypedText(keys) || keys.size() > typedOnKeys || !selection)
        return false;
    // The trigger selected after all (the page applied the selection behind the paste): the
    // caret goes to the end first, where keys typed meanwhile go too, and the next look pastes.
    if (selection->length != 0)
        return run->target->select(TextRange{*length, 0}) && schedulePasteCheck(run, pasteCheckDelay);
    if (!pasteAgainOver(run, *shown, keys, reach, length))
        return false;
    qCDebug(lcEngine).noquote() << "The paste of" << run->plan.trigger << "landed behind" << at - selected.size()
                                << "keys typed on, the trigger left in place: pasting again over all of it (\"" << *shown
                                << "\" read)";
    return true;
}

bool ExpansionReplacement::pasteAgainOver(const std::shared_ptr<Run>& run, const QString& shown, const QString& keys,
    qint64 reach, std::optional<qint64> length)
{
    // Keys that reached the end of the text since the look belong in what is pasted again: the
    // next look takes them in. (Selected behind the range instead, on a page under GNOME, a key
    // typed while they were being taken into the selection replaced it: "Hi ko".)
    if (length && run->target->textLength() != length)
        return false;
    // A field that cannot be asked this moment (a caret reported late) is looked at again.
    const auto earlier = std::make_tuple(
        run->displaced, run->selectedAgain, run->range, run->caret, run->expansionBytes, run->puttingBack);
    const qsizetype reportedBefore = std::exchange(
        run->reportedBefore, run->plan.keysReported ? run->plan.keysReported().size() : run->reportedBefore);
    ++run->pastedInFront;
    run->displaced += keys;
    // What goes back over a paste that never came takes the keys too.
    if (run->puttingBack)
        *run->puttingBack += keys;
    run->selectedAgain = shown;
    run->range = TextRange{run->range.location, reach};
    run->caret = run->range.location + reach;
    run->expansionBytes = run->pasted().toUtf8();
    // At the end of the text, keys that come from now on stand behind what is selected, as for
    // the first paste: the length the look read, not a later one, tells the field that the caret
    // goes behind them with the paste. (Taken as text in the middle, a caret reported in front of
    // such a key let the paste leave the next key in front of it: "Anna ko".)
    if (lend(run) && owns(run->receipt, run->injected) && selectForPaste(run, run->range, run->selectedAgain, length))
        return true;
    --run->pastedInFront;
    std::tie(run->displaced, run->selectedAgain, run->range, run->caret, run->expansionBytes, run->puttingBack)
        = earlier;
    run->reportedBefore = reportedBefore;
    return false;
}

bool ExpansionReplacement::mayStillHavePasteKeys(const Run& run)
{
    return pasteMayBePending(run)
        && (!run.answeringSince || run.pasteWaited - *run.answeringSince < resumedFieldSeconds);
}

bool ExpansionReplacement::pasteMayBePending(const Run& run)
{
    // Keys still on their way to the desktop: the paste is still to come.
    if (run.target->pasteKeysPending())
        return true;
    const std::optional<qint64> reads = m_clipboard.readsByFocusedApplication();
    return reads && run.readsBeforePaste && *reads == *run.readsBeforePaste;
}

void ExpansionReplacement::afterPasteSettled(std::function<void()> work)
{
    if (m_awaitingRead)
        m_afterPaste.append(std::move(work));
    else
        work();
}

void ExpansionReplacement::pasteSettled()
{
    for (const std::function<void()>& work : std::exchange(m_afterPaste, {}))
        work();
}

void ExpansionReplacement::prepare()
{
    if (m_isBusy || (m_awaitingRead && owns(m_awaitingRead->receipt, m_awaitingRead->injected)))
        return;
    const qint64 count = m_clipboard.changeCount();
    if ((m_prepared && m_prepared->changeCount == count)
        || (m_unsaved && m_unsaved->first == count && !m_unsaved->second.hasExpired()))
        return;
    m_prepared.reset();
    std::optional<QList<ClipboardItemSnapshot>> items = m_clipboard.snapshot();
    if (items && m_clipboard.changeCount() == count)
        m_prepared = Saved{count, std::move(*items)};
    // Contents that could not be saved (too large, an owner that does not answer) are not
    // asked for again for a while unless they change.
    else if (m_clipboard.changeCount() == count)
        m_unsaved = {count, QDeadlineTimer(unsavedRetrySeconds * 1000)};
}

std::optional<QList<ClipboardItemSnapshot>> ExpansionReplacement::takePrevious()
{
    // Our earlier expansion still on the clipboard stands in for the user's contents, which
    // are still due to be put back.
    if (const std::shared_ptr<Run> earlier = std::exchange(m_awaitingRead, nullptr)) {
        pasteSettled();
        if (owns(earlier->receipt, earlier->injected))
            return earlier->previous;
    }
    if (m_prepared && m_prepared->changeCount == m_clipboard.changeCount())
        return m_prepared->items;
    return std::nullopt;
}

void ExpansionReplacement::restoreOnceRead(const std::shared_ptr<Run>& run)
{
    if (!owns(run->receipt, run->injected))
        return restore(*run);
    if (!pasteMayBePending(*run)) {
        // A browser's page takes the paste keys long after its window answered, when it is busy;
        // its window may read the clipboard before, or the clipboard cannot tell: the expansion
        // stays a while longer, so that a late paste gets it rather than the user's contents.
        if (!run->target->selectsWhilePasting())
            return restore(*run);
        m_awaitingRead = run;
        return awaitPasteShown(run, latePasteChecks);
    }
    m_awaitingRead = run;
    m_schedule(pasteReadCheckDelay, [this, run] { awaitPasteRead(run, pasteReadChecks); });
}

void ExpansionReplacement::awaitPasteRead(const std::shared_ptr<Run>& run, int attempts)
{
    if (m_awaitingRead != run)
        return;
    // The user's clipboard never goes back while a paste key of ours is on its way, or that
    // key would paste it.
    const bool keysOnTheirWay = run->target->pasteKeysPending() && owns(run->receipt, run->injected);
    if ((attempts > 1 || keysOnTheirWay) && pasteMayBePending(*run) && owns(run->receipt, run->injected)) {
        m_schedule(pasteReadCheckDelay, [this, run, attempts] { awaitPasteRead(run, attempts - 1); });
        return;
    }
    if (attempts > 1 && owns(run->receipt, run->injected))
        return awaitPasteShown(run, pasteChecks);
    const bool taken = !owns(run->receipt, run->injected);
    m_awaitingRead.reset();
    restore(*run);
    pasteSettled();
    if (taken)
        watchLatePaste(run);
}

void ExpansionReplacement::awaitPasteShown(const std::shared_ptr<Run>& run, int attempts)
{
    // The field has asked for the expansion and inserts it once the answer arrives: until it
    // shows there, the field's selection must stay as it is.
    if (m_awaitingRead != run)
        return;
    const QString pasted = run->pasted();
    // Over the trigger, or in a browser's page right behind it, where it was no longer selected.
    const bool inPlace = arrivedInPlace(*run, run->target->selection());
    const bool shown = inPlace
        || (run->target->selectsWhilePasting()
            && equalText(run->target->text(TextRange{run->range.location + run->range.length, pasted.size()}), pasted));
    if (!shown && attempts > 1 && owns(run->receipt, run->injected)) {
        m_schedule(pasteCheckDelay, [this, run, attempts] { awaitPasteShown(run, attempts - 1); });
        return;
    }
    // Taken by someone's copy, or read and not shown over the trigger (a selection the field
    // changed before it got to the paste keys): what arrived is looked at.
    const bool taken = !shown && (!owns(run->receipt, run->injected) || !pasteMayBePending(*run));
    m_awaitingRead.reset();
    restore(*run);
    pasteSettled();
    if (taken)
        watchLatePaste(run);
    // The replacement had given the paste up (a stalled field): it arrived all the same, and
    // counts as the expansion it is.
    if (inPlace) {
        qCDebug(lcEngine).noquote() << "The paste of" << run->plan.trigger
                                    << "showed in the field after the replacement had ended: expanded";
        run->completed();
    }
}

bool ExpansionReplacement::owns(const ClipboardWriteReceipt& receipt, const QList<ClipboardItemSnapshot>& contents)
{
    if (m_clipboard.changeCount() != receipt.changeCount)
        return false;
    // Reading the contents back costs a request per type, and another owner's a wait on it.
    if (const std::optional<bool> held = m_clipboard.holdsWrite(receipt.changeCount))
        return *held;
    const std::optional<QList<ClipboardItemSnapshot>> current = m_clipboard.snapshot();
    return current && *current == contents && m_clipboard.changeCount() == receipt.changeCount;
}

void ExpansionReplacement::restore(const Run& run)
{
    // Someone else's contents now: theirs to keep.
    if (!owns(run.receipt, run.injected))
        return m_clipboard.entrust({});
    // What goes back is already saved for the next replacement. It stays entrusted: the
    // contents put back are ours to offer from now on, and would go with this process.
    // Someone may copy in the moment since the look above (the user, in another application,
    // as the expansion shows): what they copied is theirs and is not written over.
    const std::optional<ClipboardWriteReceipt> receipt = m_clipboard.writeOver(run.receipt.changeCount, run.previous);
    if (!receipt)
        return m_clipboard.entrust({});
    if (receipt->succeeded && m_clipboard.changeCount() == receipt->changeCount)
        m_prepared = Saved{receipt->changeCount, run.previous};
}

// A paste that did not arrive whole. Under the keyboard hold nothing the user types reaches the
// field before the replacement ends, so what the field shows in the trigger's place came from
// the paste; what goes back over it is what was typed, by the same steps as the expansion, and
// the held keys follow it. Reading the field back costs nothing on the way to the paste: only a
// paste that did not show as the expansion is looked at this way.
std::optional<ExpansionReplacement::Arrival> ExpansionReplacement::whatArrived(const Run& run)
{
    if (run.puttingBack || run.pastedInFront > 0 || run.target->selectsWhilePasting())
        return std::nullopt;
    const QString typed = run.typed();
    const QString pasted = run.pasted();
    const qint64 at = run.range.location;
    // A field that does not answer now (a stalled application) is asked nothing more.
    const std::optional<TextRange> caret = run.target->selection();
    if (!caret)
        return std::nullopt;
    // What arrived ends at the caret: the paste leaves it there, and nothing came after it.
    const auto endsAtCaret = [&](qint64 length) { return caret == TextRange{at + length, 0}; };
    // Someone copied before the field asked for the expansion: it pasted their contents. A
    // paste that comes after the replacement ended may also get the user's own contents put
    // back meanwhile (looked at only where the trigger is gone: reading the clipboard may cost).
    const std::optional<QString> trigger = run.target->text(run.range);
    const bool triggerGone = !equalText(trigger, typed);
    if (run.late ? triggerGone : !owns(run.receipt, run.injected)) {
        std::optional<QList<ClipboardItemSnapshot>> contents = m_clipboard.snapshot();
        const QString copied = contents ? pastedTextOf(*contents) : QString();
        if (!copied.isEmpty() && !Text::equal(copied, pasted) && endsAtCaret(copied.size())
            && equalText(run.target->text(TextRange{at, copied.size()}), copied))
            return Arrival{TextRange{at, copied.size()}, copied,
                QStringLiteral("the field pasted what was copied meanwhile"), std::move(contents)};
        if (!run.late)
            return std::nullopt;
    }
    // An application that sets its own text after each change (an input mask, a formatter) may
    // do so between the selection and the paste: the trigger stays, the expansion lands behind.
    // One that changes the case of what it holds may have done so to both by now.
    const std::optional<QString> behind = run.target->text(TextRange{at + typed.size(), pasted.size()});
    if (trigger && behind && sameButForCase(*trigger, typed) && sameButForCase(*behind, pasted))
        return Arrival{TextRange{at, typed.size() + pasted.size()}, *trigger + *behind,
            QStringLiteral("the field's application set its text between the selection and the paste"), std::nullopt};
    // A field that takes only so many characters (a maxlength) keeps the expansion's beginning
    // and ends there, and the keys typed after it would be lost.
    if (run.target->text(TextRange{at, pasted.size()}))
        return std::nullopt;
    qint64 shown = 0;
    for (qint64 beyond = pasted.size(); beyond - shown > 1;) {
        const qint64 middle = (shown + beyond) / 2;
        (run.target->text(TextRange{at, middle}) ? shown : beyond) = middle;
    }
    // A read that went unanswered reads as the end of the text too: the end is asked again.
    const std::optional<QString> kept = run.target->text(TextRange{at, shown});
    if (shown == 0 || !equalText(kept, pasted.left(shown)) || run.target->text(TextRange{at, shown + 1})
        || !endsAtCaret(shown))
        return std::nullopt;
    return Arrival{TextRange{at, shown}, *kept, QStringLiteral("the field kept %1 of %2 pasted").arg(shown).arg(pasted.size()),
        std::nullopt};
}

bool ExpansionReplacement::putBackWhatArrived(const std::shared_ptr<Run>& run)
{
    std::optional<Arrival> arrival = whatArrived(*run);
    if (!arrival)
        return false;
    // While our grab holds the keyboard, the field's window is told that it lost it, and a
    // toolkit that refreshes its states then (a Qt field setting its own text) says its field
    // lost the focus: it takes no selection until the keyboard is free, and is looked at again
    // then.
    if (!run->late && !run->target->isFocusedAndEditable()) {
        qCDebug(lcEngine).noquote() << "The paste of" << run->plan.trigger << "did not arrive whole (" << arrival->why
                                    << "); the field is looked at again once the keyboard is free";
        return false;
    }
    qCDebug(lcEngine).noquote() << "The paste of" << run->plan.trigger << "did not arrive whole:" << arrival->why
                                << "; putting back" << run->typed() << "over" << arrival->range.location << "+"
                                << arrival->range.length;
    if (arrival->contents)
        run->previous = std::move(*arrival->contents);
    run->puttingBack = run->typed();
    run->putBackWhy = arrival->why;
    run->selectedAgain = arrival->text;
    run->range = arrival->range;
    // Where the caret stands now: until the selection shows, the field has not applied it.
    run->caret = arrival->range.location + arrival->range.length;
    if (const std::optional<TextRange> caret = run->target->selection(); caret && caret->length == 0)
        run->caret = caret->location;
    run->caretAfterPutBack = run->caret - arrival->range.length + run->puttingBack->size();
    run->expansionBytes = run->puttingBack->toUtf8();
    run->pastedAgain = true;
    lookForPasteAfresh(*run);
    m_isBusy = true;
    // The user's contents go back first: the clipboard changes owner before it offers what is
    // put back, so that an application that keeps what it last pasted (Chromium) asks afresh.
    restore(*run);
    if (!run->target->select(run->range) || !lend(run))
        abandonSelection(run, selectionChecks);
    else
        waitForSelection(run, selectionChecks);
    return true;
}

bool ExpansionReplacement::putBackOverKeysTyped(const std::shared_ptr<Run>& run)
{
    // Typing at the end of the text, a key took the selected trigger's place and the paste that
    // should have landed behind it never came (Chromium under GNOME, loaded): left so, the trigger
    // would be gone without its expansion; or, with a paste made again, the expansion that had
    // arrived with the keys before it.
    if (!run->target->selectsWhilePasting() || run->puttingBack || run->pastedInFront >= pastesInFront
        || run->pastedAgain || !run->after.isEmpty() || !run->plan.keysReported
        || run->lengthAtSelection != run->selecting.location + run->selecting.length)
        return false;
    const std::optional<qint64> length = run->target->textLength();
    const qint64 reach = length ? *length - run->range.location : 0;
    if (reach <= 0 || reach > 2 * typedOnKeys || run->target->selection() != TextRange{*length, 0})
        return false;
    // Only keys the page reported typed stand there, each once: nothing of the paste arrived.
    // They go back in the order reported.
    const std::optional<QString> read = run->target->text(TextRange{run->range.location, reach});
    const QString reported = run->plan.keysReported().mid(run->reportedBefore);
    const std::optional<QString> shown
        = read ? std::optional<QString>(QString(*read).replace(QChar::Nbsp, u' ')) : std::nullopt;
    const std::optional<QString> unexplained = shown ? withoutEach(reported, *shown) : std::nullopt;
    if (!shown || shown->size() != reach || !unexplained || !unexplained->isEmpty() || !isTypedText(reported)) {
        if (shown && !shown->contains(run->plan.trigger) && !shown->contains(run->plan.expansion))
            qCDebug(lcEngine).noquote() << "Keys may stand in the place of" << run->plan.trigger << "(\"" << *shown
                                        << "\" read), not all reported: \"" << reported << "\"";
        return false;
    }
    if (run->pastedInFront > 0) {
        if (!pasteAgainOver(run, *shown, reported, reach, length))
            return false;
        qCDebug(lcEngine).noquote() << "Keys took the place of what was pasted again for" << run->plan.trigger
                                    << "and that paste never showed (\"" << *shown << "\" read): pasting again";
        return true;
    }
    qCDebug(lcEngine).noquote() << "Keys took the place of" << run->plan.trigger << "and its paste never showed (\""
                                << *shown << "\" read): putting the trigger back in front of them";
    run->puttingBack = run->typed() + reported;
    run->putBackWhy = QStringLiteral("keys took the trigger's place and its paste never showed");
    run->selectedAgain = *shown;
    run->range = TextRange{run->range.location, reach};
    run->caret = *length;
    run->expansionBytes = run->puttingBack->toUtf8();
    run->pastedAgain = true;
    pasteAfreshOver(run, *shown);
    return true;
}

bool ExpansionReplacement::pasteAgainOverUnchanged(const std::shared_ptr<Run>& run)
{
    // Chromium under GNOME, loaded, now and then shows nothing of a paste, the selection it was
    // to go over collapsed at the end by End: keys pasted again to put them in order would stay
    // out of order. What still stands as it stood then, with nothing typed since, goes again.
    if (!run->target->selectsWhilePasting() || run->pastedInFront == 0 || run->puttingBack
        || run->emptyPastes >= emptyPastesRetried)
        return false;
    const std::optional<qint64> length = run->target->textLength();
    if (!length || *length != run->range.location + run->selectedAgain.size()
        || run->target->selection() != TextRange{*length, 0}
        || !equalText(run->target->text(run->range), run->selectedAgain))
        return false;
    ++run->emptyPastes;
    qCDebug(lcEngine).noquote() << "The paste made again over" << run->selectedAgain << "showed nothing: once more";
    pasteAfreshOver(run, run->selectedAgain);
    return true;
}

void ExpansionReplacement::pasteAfreshOver(const std::shared_ptr<Run>& run, const QString& selected)
{
    lookForPasteAfresh(*run);
    // A new owner, as in putBackWhatArrived(): a page that keeps what it last pasted asks afresh.
    restore(*run);
    if (!lend(run) || !owns(run->receipt, run->injected) || !selectForPaste(run, run->range, selected))
        abandonSelection(run, selectionChecks);
}

void ExpansionReplacement::lookForPasteAfresh(Run& run)
{
    run.readsBeforePaste.reset();
    run.reshaped.reset();
    run.plainKeySince.reset();
    run.pasteWaited = 0;
    run.pasteLookedAt = 0;
    run.answeringSince.reset();
    run.pasteLookedLonger = 0;
    m_sentPaste = false;
}

void ExpansionReplacement::watchLatePaste(const std::shared_ptr<Run>& run)
{
    // The paste keys went to a field that was not seen to take them (a stalled application, or
    // one that said it had lost the focus while the keyboard was held): when it does, after the
    // replacement ended, what arrives may not be the expansion whole, and someone may have
    // copied meanwhile, whose contents it then pastes over the trigger. It is looked for as
    // long as the paste may still come.
    if (m_awaitingRead == run || run->puttingBack || run->target->selectsWhilePasting())
        return;
    run->late = true;
    m_schedule(pasteReadCheckDelay, [this, run] { awaitLatePaste(run, pasteReadChecks); });
}

void ExpansionReplacement::awaitLatePaste(const std::shared_ptr<Run>& run, int looks)
{
    // Another replacement has begun: what it does in the field is its own.
    if (m_isBusy || m_awaitingRead || looks <= 1)
        return;
    if (run->target->isFocusedAndEditable()) {
        const std::optional<TextRange> selection = run->target->selection();
        const bool pending = selection == run->range && equalText(run->target->text(run->range), run->typed());
        // The field took the paste: what arrived goes only where it shows that it did not
        // arrive whole (the copied contents with the caret right behind them, nothing typed
        // since).
        if (selection && !pending && putBackWhatArrived(run))
            return;
        // It arrived whole (a field that read the clipboard at the paste key and stalled before
        // showing it): it counts as the expansion it is.
        if (selection && !pending && arrivedInPlace(*run, selection)) {
            qCDebug(lcEngine).noquote() << "The paste of" << run->plan.trigger
                                        << "showed in the field after the replacement had ended: expanded";
            run->completed();
            return;
        }
        // A field that has just taken it may report its caret a moment after its text: it is
        // looked at a few times more before it is left as it is.
        if (selection && !pending && ++run->lateLooksTaken >= lateLooksAfterPaste)
            return;
    }
    m_schedule(pasteReadCheckDelay, [this, run, looks] { awaitLatePaste(run, looks - 1); });
}

bool ExpansionReplacement::arrivedInPlace(const Run& run, const std::optional<TextRange>& selection)
{
    const QString pasted = run.pasted();
    return equalText(run.target->text(TextRange{run.range.location, pasted.size()}), pasted)
        || arrivedOverLines(run, selection) || arrivedInAnotherElement(run);
}

bool ExpansionReplacement::arrivedOverLines(const Run& run, const std::optional<TextRange>& selection)
{
    const QString pasted = run.pasted();
    const QRegularExpression lines = pastedLines(pasted);
    if (!lines.isValid() || lines.pattern().isEmpty())
        return false;
    const qint64 at = run.range.location;
    const auto fits = [&](const std::optional<QString>& shown, bool whole) {
        if (!shown)
            return false;
        const QRegularExpressionMatch match = lines.match(shown->normalized(QString::NormalizationForm_C));
        return match.hasMatch() && (!whole || match.capturedLength() == shown->size());
    };
    // Nothing typed comes behind the paste while the keys are held: what arrived ends at the
    // caret, where the field keeps its caret in the element pasted into.
    if (selection && selection->length == 0 && selection->location > at
        && fits(run.target->text(TextRange{at, selection->location - at}), true)) {
        qCDebug(lcEngine).noquote() << "The paste of" << run.plan.trigger
                                    << "arrived with its line breaks shown the field's way";
        return true;
    }
    // Elsewhere (the caret in an element below, or its offset standing for one): the text from
    // the trigger's place, as far as the lines may reach.
    const qint64 reach = pasted.size() + 2 * std::count_if(pasted.cbegin(), pasted.cend(), isLineBreak);
    std::optional<QString> shown = run.target->text(TextRange{at, reach});
    if (!shown) {
        qint64 readable = 0;
        for (qint64 beyond = reach; beyond - readable > 1;) {
            const qint64 middle = (readable + beyond) / 2;
            (run.target->text(TextRange{at, middle}) ? readable : beyond) = middle;
        }
        shown = run.target->text(TextRange{at, readable});
    }
    if (!fits(shown, false))
        return false;
    qCDebug(lcEngine).noquote() << "The paste of" << run.plan.trigger
                                << "arrived with its line breaks shown the field's way, the caret elsewhere";
    return true;
}

bool ExpansionReplacement::arrivedInAnotherElement(const Run& run)
{
    const QString pasted = run.pasted();
    const qsizetype firstBreak = std::find_if(pasted.cbegin(), pasted.cend(), isLineBreak) - pasted.cbegin();
    if (firstBreak >= pasted.size())
        return false;
    // The first line ends the field's own element, the last (with the caret behind it) begins
    // the element that has the focus now; the lines between are elements of their own.
    const QString first = pasted.left(firstBreak);
    const qsizetype lastBreak = std::find_if(pasted.crbegin(), pasted.crend(), isLineBreak) - pasted.crbegin();
    const QString last = pasted.right(lastBreak);
    const std::optional<QString> focused = run.target->textToCaretInFocusedElement();
    if (!focused || !Text::equal(focused->right(last.size()), last))
        return false;
    const qint64 at = run.range.location;
    if (!equalText(run.target->text(TextRange{at, first.size()}), first))
        return false;
    const std::optional<QString> next = run.target->text(TextRange{at + first.size(), 1});
    if (next && !next->isEmpty() && !isLineBreak(next->at(0)) && next->at(0) != QChar::ObjectReplacementCharacter)
        return false;
    qCDebug(lcEngine).noquote() << "The paste of" << run.plan.trigger
                                << "arrived as paragraphs of their own, the caret in the last";
    return true;
}
