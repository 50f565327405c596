// The course of a replacement and the clipboard it lends: waits until the field has applied the
// trigger's final key, saves the user's clipboard and lends it the expansion, selects the trigger
// and sends the paste (here where the field takes the selection under the keyboard hold, in
// ExpansionReplacementBrowserPaste.cpp where a page applies it while the user types on), and
// gives the clipboard back once no paste of ours can still be on its way. How a paste is looked
// for once sent is in ExpansionReplacementReadBack.cpp.
#include "Engine/ExpansionReplacement.h"

#include "Engine/EngineLog.h"
#include "Engine/ExpansionReplacementRun.h"
#include "Utilities/Text.h"
#include "Utilities/Uuid.h"

#include <algorithm>
#include <cmath>
#include <utility>

using ReplacementText::equalText;

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
