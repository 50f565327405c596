// The paste over a selection a browser's page applies while the user types on: nothing holds the
// keys there (Wayland), so keys typed after the trigger reach the page before, behind or over the
// selection. The paste goes once the page shows the selection; keys that came behind it are taken
// into the selection and pasted again behind the expansion; keys that took the selection's place,
// or stand around the paste out of the order the page reported them in, are pasted again over,
// behind the expansion in the order typed; and where the paste never came, the trigger goes back
// with the keys behind it.
#include "Engine/ExpansionReplacement.h"

#include "Engine/EngineLog.h"
#include "Engine/ExpansionReplacementRun.h"
#include "Utilities/Text.h"

#include <algorithm>
#include <tuple>
#include <utility>

using ReplacementText::equalText;
using ReplacementText::plainSpaces;

namespace {
// What a page shows over `range`, its no-break spaces read as the spaces they were typed as:
// what is compared here, and pasted again as keys.
std::optional<QString> shownIn(ExpansionTarget& target, TextRange range)
{
    std::optional<QString> shown = target.text(range);
    if (shown)
        shown = plainSpaces(*shown);
    return shown;
}

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
    SelectingLook look{target.selection(), target.textLength(), shownIn(target, range)};
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
            ? shownIn(*run->target, TextRange{end, grown})
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
        const std::optional<QString> typed = shownIn(*run->target, TextRange{range.location, *length - range.location});
        const bool keys = typed && mayBeKeys(*run, *typed);
        paste = keys && typed->size() == *length - range.location && isTypedText(*typed)
            && !plainSpaces(run->selectingText).startsWith(*typed);
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
    if (!selectAgainWhereUnshown(run))
        abandonSelection(run, selectionChecks);
}

bool ExpansionReplacement::selectAgainWhereUnshown(const std::shared_ptr<Run>& run)
{
    // Firefox on sway let the selection for a paste made again go unapplied while a key reached
    // the page behind it, and the keys that paste was to put in order stayed in front of the
    // expansion ("Hi  oBest regards, Annak"). What it was to cover still standing there, with at
    // most keys typed since behind it, it is asked for once more, the text's length then telling
    // the keys behind it as before.
    if (run->pastedInFront == 0 || run->puttingBack || run->unshownSelections >= unshownSelectionsRetried
        || !equalText(shownIn(*run->target, run->selecting), run->selectingText))
        return false;
    ++run->unshownSelections;
    qCDebug(lcEngine).noquote() << "Asking once more for the selection of" << run->selecting.location << "+"
                                << run->selecting.length;
    return selectForPaste(run, run->selecting, run->selectingText, run->lengthAtSelection);
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
            ? shownIn(*run->target, TextRange{range.location, *length - range.location})
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
    if (!selectAgainWhereUnshown(run))
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
    std::optional<QString> keys = shownIn(*run.target, TextRange{end, length - end});
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
    const std::optional<QString> shown = shownIn(*run.target, TextRange{range.location, reach});
    if (!shown || shown->size() != reach)
        return std::nullopt;
    // What was selected stands there in order, with the keys between.
    const QString selected = plainSpaces(run.selectingText);
    QString keys;
    qsizetype matched = 0;
    for (const QChar c : *shown) {
        if (matched < selected.size() && c == selected.at(matched))
            ++matched;
        else
            keys += c;
    }
    // Each of them reported as typed (a report may come a moment after the text: the next look).
    const bool reported = !run.plan.keysReported || withoutEach(run.plan.keysReported(), keys);
    if (matched != selected.size() || !isTypedText(keys) || !reported)
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
    const std::optional<QString> shown = shownIn(*run.target, run.range);
    const QString pasted = run.pasted();
    return !shown || equalText(shown, run.selectedAgain)
        || equalText(shownIn(*run.target, TextRange{run.range.location, pasted.size()}), pasted)
        || showsKeysAgainBehindExpansion(run);
}

bool ExpansionReplacement::showsKeysAgainBehindExpansion(const Run& run)
{
    // The paste made again arrived, its keys behind the expansion in another order than they were
    // pasted (Thunderbird under GNOME, loaded, showed " ok" where "ok " had been selected with the
    // expansion): the expansion whole where the trigger was, then the very keys that were selected
    // with it, each once, and at the end of the text only keys typed since (Firefox's rich region
    // under GNOME took a "k" typed behind the selection into the paste's report).
    const QString& expansion = run.plan.expansion;
    const std::optional<qint64> length = run.target->textLength();
    const std::optional<QString> toEnd = length && *length > run.range.location
        ? run.target->text(TextRange{run.range.location, *length - run.range.location})
        : std::nullopt;
    if (!toEnd || toEnd->size() < expansion.size() || !Text::equal(toEnd->left(expansion.size()), expansion))
        return false;
    const QString keys = plainSpaces(toEnd->mid(expansion.size()));
    const QString selectedKeys = plainSpaces(QString(run.selectedAgain).remove(expansion));
    const std::optional<QString> typedSince = withoutEach(keys, selectedKeys);
    return isTypedText(keys) && typedSince && typedSince->size() <= typedOnKeys && keys.endsWith(*typedSince);
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
    const std::optional<QString> shown = shownIn(*run->target, TextRange{run->range.location, reach});
    // A paste that came while the trigger was not selected stands behind the trigger instead:
    // that is no key typed.
    if (!shown || shown->size() != reach || shown->startsWith(plainSpaces(run->typed())))
        return false;
    // The paste followed the selection, so the keys in front of it came after those behind the
    // selection and before those behind the paste. Where the expansion could stand in more
    // than one place, the order cannot be told.
    qsizetype at = -1;
    for (qsizetype front = 1; front <= std::min<qint64>(typedOnKeys, reach - landed.size()); ++front) {
        if (!equalText(shown->mid(front, landed.size()), landed))
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
    if (!keys || !isTypedText(*keys))
        return false;
    // Keys left in front of the expansion here stay there: why is what the engine log keeps.
    if (!pasteAgainOver(run, *shown, run->behind + *keys, reach, length)) {
        qCDebug(lcEngine).noquote() << "Keys stand in front of the paste of" << run->plan.trigger << "(\"" << *shown
                                    << "\" read) but it could not be made again:"
                                    << (run->target->textLength() != length ? "the text grew meanwhile"
                                                                            : "its selection was not taken");
        return false;
    }
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
    const std::optional<QString> shown = shownIn(*run->target, TextRange{run->range.location, reach});
    if (!shown || shown->size() != reach)
        return false;
    // Where the paste, or those keys behind it, could stand in more than one place, the order
    // cannot be told.
    qsizetype at = -1;
    for (qsizetype front = 0; front <= reach - pasted.size() - run->behind.size(); ++front) {
        if (!equalText(shown->mid(front, pasted.size()), pasted))
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
    const std::optional<QString> shown = shownIn(*run->target, TextRange{run->range.location, reach});
    if (!shown || shown->size() != reach)
        return false;
    // What the paste made again is to go over still stands there: that paste has not landed yet
    // (a busy page may show the selection gone before the text changes), and another sent now
    // would take the clipboard from it as it reads.
    if (run->pastedInFront > 0 && equalText(shown, run->selectedAgain))
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
                && !equalText(shown, run->plan.expansion + run->plan.keysReported()));
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
    // Firefox reports a paste into a rich-text region in pieces, which count among the keys
    // reported: a key typed into a paste made again, read where that paste's selection was asked
    // for, passed for keys that had taken its place, and the expansion was pasted a second time
    // behind itself ("Hi oBest regards, Anna kBest regards, Anna o"). The expansion whole is no key.
    if (!run.plan.expansion.isEmpty() && plainSpaces(text).contains(plainSpaces(run.plan.expansion)))
        return false;
    const QString reported = run.plan.keysReported ? run.plan.keysReported() : QString();
    if (!run.plan.keysReported || (!reported.isEmpty() && withoutEach(reported, text)))
        return true;
    // The selected text still there with something inside it: no key took its place.
    qsizetype at = 0;
    for (const QChar c : plainSpaces(run.selectingText)) {
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
    const QString expansion = plainSpaces(run.plan.expansion);
    const qsizetype at = shown.indexOf(expansion);
    // A paste behind the trigger still in place is no key typed (pasteBehindTrigger()).
    if (shown.startsWith(plainSpaces(run.typed())))
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
    if (at == 0 && equalText(shown.mid(expansion.size()), reported))
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
    const std::optional<QString> shown = shownIn(*run->target, TextRange{run->range.location, reach});
    if (!shown || shown->size() != reach || !equalText(shown->left(selected.size()), selected))
        return false;
    // Keys in front of the paste reached the page before it, those behind it after: where the
    // expansion could stand in more than one place, the order cannot be told.
    const qsizetype at = shown->indexOf(plainSpaces(pasted), selected.size());
    if (at < 0 || shown->indexOf(plainSpaces(pasted), at + 1) >= 0)
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
    const std::optional<QString> shown = shownIn(*run->target, TextRange{run->range.location, reach});
    const QString reported = run->plan.keysReported().mid(run->reportedBefore);
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
        || !equalText(shownIn(*run->target, run->range), run->selectedAgain))
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
