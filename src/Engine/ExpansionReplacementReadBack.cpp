// The paste looked for once sent, and read back: a field shows it a moment after the keys, a busy
// one much later, some reshape what they take, and a paste may arrive cut short or as what someone
// copied meanwhile. Looks at the field until the expansion shows, puts the trigger as typed back
// over a paste that did not arrive whole (X11, under the keyboard hold), keeps the expansion on
// the clipboard until the field has read it, and watches for a paste that comes after the
// replacement ended. Where a page took keys typed on around the paste, the look hands over to
// ExpansionReplacementBrowserPaste.cpp to put them in order.
#include "Engine/ExpansionReplacement.h"

#include "Engine/EngineLog.h"
#include "Engine/ExpansionReplacementRun.h"
#include "Engine/ShownPaste.h"
#include "Utilities/Text.h"

#include <algorithm>
#include <utility>

using ReplacementText::equalText;

namespace {
bool sameButForCase(const QString& text, const QString& expected)
{
    return Text::equal(text, expected) || Text::equal(text.toCaseFolded(), expected.toCaseFolded());
}

// The field's text from `at`, as far as `reach` or to its end where that comes first.
std::optional<QString> readableText(ExpansionTarget& target, qint64 at, qint64 reach)
{
    if (std::optional<QString> shown = target.text(TextRange{at, reach}))
        return shown;
    qint64 readable = 0;
    for (qint64 beyond = reach; beyond - readable > 1;) {
        const qint64 middle = (readable + beyond) / 2;
        (target.text(TextRange{at, middle}) ? readable : beyond) = middle;
    }
    return target.text(TextRange{at, readable});
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
        if ((!selection || selectionMoved) && (equalText(shown, pasted) || arrivedShownTheFieldsWay(*run, selection))) {
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
    // Only a paste the field has read can have made the element anew; a stalled field is asked
    // no more than before.
    if (look && !focused && !unread && arrivedInElementMadeAnew(*run)) {
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
                QStringLiteral("the field pasted what was copied meanwhile"), std::move(contents), {}};
        if (!run.late)
            return std::nullopt;
    }
    // An application that sets its own text after each change (an input mask, a formatter) may
    // do so between the selection and the paste: the trigger stays, the expansion lands behind.
    // One that changes the case of what it holds may have done so to both by now.
    const std::optional<QString> behind = run.target->text(TextRange{at + typed.size(), pasted.size()});
    if (trigger && behind && sameButForCase(*trigger, typed) && sameButForCase(*behind, pasted))
        return Arrival{TextRange{at, typed.size() + pasted.size()}, *trigger + *behind,
            QStringLiteral("the field's application set its text between the selection and the paste"), std::nullopt,
            {}};
    if (run.late) {
        if (std::optional<Arrival> behindKeys = arrivedBehindKeysTypedOn(run, *caret))
            return behindKeys;
    }
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
        std::nullopt, {}};
}

std::optional<ExpansionReplacement::Arrival> ExpansionReplacement::arrivedBehindKeysTypedOn(
    const Run& run, TextRange caret)
{
    // A paste the field got to late (a page busy in a thread of its own while its browser answered
    // for it) lands where the keys typed on left the caret: behind the trigger still there, or,
    // where it was still selected when they came, behind the keys that took its place. Keys typed
    // since stand behind it.
    const QString typed = run.typed();
    const QString pasted = run.pasted();
    const qint64 at = run.range.location;
    const qint64 reach = caret.location - at;
    if (caret.length != 0 || reach <= pasted.size() || reach > typed.size() + pasted.size() + 2 * typedOnKeys)
        return std::nullopt;
    const std::optional<QString> shown = run.target->text(TextRange{at, reach});
    const qsizetype found = shown && shown->size() == reach ? shown->indexOf(pasted) : -1;
    if (found < 1)
        return std::nullopt;
    const QString before = shown->left(found);
    const QString keys = before.startsWith(typed) ? before.mid(typed.size()) : before;
    const QString since = shown->mid(found + pasted.size());
    if (!isTypedText(before) || !isTypedText(since) || keys.size() > typedOnKeys || since.size() > typedOnKeys)
        return std::nullopt;
    return Arrival{TextRange{at, found + pasted.size()}, before + pasted,
        QStringLiteral("the paste came after %1 keys typed on").arg(keys.size()), std::nullopt, keys};
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
                                << "; putting back" << run->typed() + arrival->keysTypedOn << "over"
                                << arrival->range.location << "+" << arrival->range.length;
    if (arrival->contents)
        run->previous = std::move(*arrival->contents);
    run->puttingBack = run->typed() + arrival->keysTypedOn;
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
        || arrivedShownTheFieldsWay(run, selection) || arrivedInAnotherElement(run);
}

bool ExpansionReplacement::arrivedShownTheFieldsWay(const Run& run, const std::optional<TextRange>& selection)
{
    const QString pasted = run.pasted();
    const ShownPaste paste(pasted);
    // Text the field can show only as pasted is compared as it is, and costs no more looks.
    if (!paste.mayBeShownOtherwise())
        return false;
    const qint64 at = run.range.location;
    // Nothing typed comes behind the paste while the keys are held: what arrived ends at the
    // caret, where the field keeps its caret in the element pasted into.
    if (selection && selection->length == 0 && selection->location > at) {
        const std::optional<QString> toCaret = run.target->text(TextRange{at, selection->location - at});
        if (toCaret && paste.isShownIn(*toCaret, true)) {
            qCDebug(lcEngine).noquote() << "The paste of" << run.plan.trigger << "arrived shown the field's way";
            return true;
        }
    }
    // Elsewhere (the caret in an element below, or its offset standing for one): the text from
    // the trigger's place, as far as the paste may reach.
    const std::optional<QString> shown = readableText(*run.target, at, paste.reach());
    if (!shown || !paste.isShownIn(*shown, false))
        return false;
    qCDebug(lcEngine).noquote() << "The paste of" << run.plan.trigger << "arrived shown the field's way, the caret elsewhere";
    return true;
}

bool ExpansionReplacement::arrivedInAnotherElement(const Run& run)
{
    const QString pasted = run.pasted();
    const auto lineBreak = [](QChar c) { return ShownPaste::isLineBreak(c); };
    const qsizetype firstBreak = std::find_if(pasted.cbegin(), pasted.cend(), lineBreak) - pasted.cbegin();
    if (firstBreak >= pasted.size())
        return false;
    // The first line ends the field's own element, the last (with the caret behind it) begins
    // the element that has the focus now; the lines between are elements of their own. Each
    // may show the field's way.
    const QString first = pasted.left(firstBreak);
    const qsizetype lastBreak = std::find_if(pasted.crbegin(), pasted.crend(), lineBreak) - pasted.crbegin();
    const std::optional<QString> focused = run.target->textToCaretInFocusedElement();
    if (!focused || !ShownPaste(pasted.right(lastBreak)).endsIn(*focused))
        return false;
    const qint64 at = run.range.location;
    // What follows the first line there: nothing, a break or the object of a paragraph.
    std::optional<QString> next;
    if (equalText(run.target->text(TextRange{at, first.size()}), first)) {
        next = run.target->text(TextRange{at + first.size(), 1});
    } else {
        const ShownPaste firstShown(first);
        const std::optional<qint64> length = firstShown.mayBeShownOtherwise() ? run.target->textLength() : std::nullopt;
        const std::optional<QString> shown = length && *length > at
            ? run.target->text(TextRange{at, std::min(firstShown.reach() + 1, *length - at)})
            : std::nullopt;
        const std::optional<qsizetype> shownLength = shown ? firstShown.lengthAtStartOf(*shown) : std::nullopt;
        if (!shownLength)
            return false;
        next = Text::canonical(*shown).mid(*shownLength, 1);
    }
    if (next && !next->isEmpty() && !lineBreak(next->at(0)) && next->at(0) != QChar::ObjectReplacementCharacter)
        return false;
    qCDebug(lcEngine).noquote() << "The paste of" << run.plan.trigger
                                << "arrived as paragraphs of their own, the caret in the last";
    return true;
}

bool ExpansionReplacement::arrivedInElementMadeAnew(const Run& run)
{
    const std::shared_ptr<ExpansionTarget> instead = run.target->focusedElementInstead();
    const std::optional<TextRange> caret = instead ? instead->selection() : std::nullopt;
    const qint64 at = run.range.location;
    // No paste leaves the caret in front of the place it began at: that is the application's own
    // doing, and only then is the element taken for the field made anew.
    if (!caret || caret->length != 0 || caret->location > at)
        return false;
    const QString pasted = run.pasted();
    std::optional<qsizetype> length;
    if (equalText(instead->text(TextRange{at, pasted.size()}), pasted)) {
        length = pasted.size();
    } else if (const ShownPaste paste(pasted); paste.mayBeShownOtherwise()) {
        // Where the field's text keeps its form under canonical composition, the length matched
        // there is the field's own.
        const std::optional<QString> shown = readableText(*instead, at, paste.reach());
        if (shown && Text::canonical(*shown) == *shown)
            length = paste.lengthAtStartOf(*shown);
    }
    if (!length)
        return false;
    qCDebug(lcEngine).noquote() << "The paste of" << run.plan.trigger
                                << "arrived in an element made anew with its caret in front of it: the caret goes"
                                << "behind the paste";
    // Refused, the caret stays where a paste by hand leaves it too.
    instead->select(TextRange{at + *length, 0});
    return true;
}
