#pragma once

#include "Engine/ExpansionClipboard.h"
#include "Engine/ExpansionTarget.h"
#include "platform/Pasteboard.h"

#include <QDeadlineTimer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// One pending replacement of a typed trigger.
struct ExpansionPlan {
    QString trigger;
    QString expansion;
    // UTF-16 offset just after the trigger's last character: where the caret stands once
    // the field has applied the final key.
    qint64 expectedCaret = 0;
    // Where that caret stands instead if the field had already applied the first key of
    // the typing run when the engine saw it. Set while the engine cannot tell which came
    // first (see TextExpansionEngine); the field's caret and text decide.
    std::optional<qint64> alternativeCaret;
    // The field's selection as the engine read it, with the field's focus, just before
    // starting the replacement: the first look at the caret takes it instead of asking the
    // application again.
    std::optional<TextRange> observedSelection;
    // How far before and beyond expectedCaret the trigger may end after all, in UTF-16 units:
    // the engine reads where a run of typing begins while the field may still be applying keys
    // typed before it (the caret then stands beyond), or may already have applied keys of the
    // run the engine has not read yet (before). The trigger right before a caret that stays put
    // within these bounds is where the run ended.
    qint64 mayEndBefore = 0;
    qint64 mayEndBeyond = 0;
    // The length of the field's text, read just before observedSelection, where the target
    // pastes while the user types on: keys that reach the field after that look are behind it.
    std::optional<qint64> observedLength = std::nullopt;
    // Where the field reports its changes: what it reported inserted since the trigger that can
    // only be keys typed, in the order it took them (its reports may come a moment after its text).
    std::function<QString()> keysReported = {};
    // Of those, the keys it reported deleted by a key typed at their place: typed over a selection
    // of ours that covered them, which the paste made again puts back.
    std::function<QString()> keysTypedOver = {};
};

// Swaps a trigger just typed into another application's field for its expansion: waits
// until the field has applied the final key, saves the clipboard, puts the expansion on it
// with a private marker type, selects the trigger, pastes, confirms that the expansion
// arrived and puts the user's clipboard back unless someone else has written to it
// meanwhile. One replacement at a time; every failure is silent and leaves the trigger as
// typed. Main thread only.
class ExpansionReplacement {
public:
    // Runs `work` after the delay in seconds, on the main thread; must drop the work once
    // this replacement is gone.
    using Schedule = std::function<void(double seconds, std::function<void()> work)>;

    // The desktop reports a key as the server hands it to the application (X11 RECORD), so
    // the field has usually applied the final key already: the first look is at once, and
    // only a field that has not caught up yet is looked at again every caretCheckDelay. A
    // busy machine can keep a field from applying a key for a few hundred milliseconds; the
    // keys typed meanwhile are held, so waiting that long costs nothing in the common case.
    static constexpr double firstCaretCheckDelay = 0;
    static constexpr double caretCheckDelay = 0.02;
    static constexpr int caretChecks = 25;
    // A field found still behind the final key is looked at again a few times, each wait
    // longer than the last, before the looks every caretCheckDelay.
    static constexpr double quickCaretCheckDelay = 0.002;
    static constexpr double quickCaretCheckGrowth = 1.5;
    static constexpr int quickCaretLooks = 4;
    static constexpr double quickCaretSeconds = [] {
        double total = 0;
        double delay = quickCaretCheckDelay;
        for (int look = 0; look < quickCaretLooks; ++look, delay *= quickCaretCheckGrowth)
            total += delay;
        return total;
    }();
    // Looks at a caret that stays put, at or beyond where the trigger should end, with other
    // text before it, after which the replacement gives up.
    // A loaded machine can keep a field from applying the keys it has for a few hundred
    // milliseconds, its caret standing still meanwhile.
    static constexpr int unlikeLooks = 12;
    // Looks that find the field unfocused, or its caret unreadable (a busy application that
    // did not answer in time), after which the replacement gives up.
    static constexpr int unansweredLooks = 3;
    // Browsers apply a selection asynchronously, a few to some tens of milliseconds after
    // they acknowledged it: the paste waits until the selection reads back as the trigger.
    static constexpr double selectionCheckDelay = 0.005;
    static constexpr int selectionChecks = 40;
    // A paste that goes again over an expansion that has landed, to put keys typed on in their
    // order, waits longer for its selection: given up, it leaves those keys where they landed.
    static constexpr int selectionChecksAgain = 4 * selectionChecks;
    // A field shows a paste a few milliseconds after the keys went out: the first look comes
    // then, and the looks after it further and further apart, up to pasteCheckDelay, for
    // pasteCheckDelay * pasteChecks in all. While the clipboard tells that the field has not
    // asked for the expansion yet, a look asks the field nothing.
    static constexpr double firstPasteCheckDelay = 0.002;
    static constexpr double pasteCheckGrowth = 1.5;
    static constexpr double pasteCheckDelay = 0.04;
    static constexpr int pasteChecks = 20;
    // A field that took the paste and shows other text than the expansion (it reshaped it)
    // is left alone once that text has stayed the same this long, unless it shows that the
    // paste did not arrive whole (the expansion cut short at the end of the text, or beside a
    // trigger still there, or what someone copied meanwhile over the trigger): the trigger as
    // typed then goes back over what arrived.
    static constexpr double reshapedPasteSeconds = 0.1;
    // A field that has not asked for the expansion is taken to have got to the paste keys (and
    // ignored them) only once it has answered every look for this long: a stalled application
    // going on again answers questions before it takes the keys queued for it meanwhile.
    static constexpr double resumedFieldSeconds = 0.25;
    // A paste key that typed its plain letter over the trigger is pasted again once the letter
    // has stood alone this long.
    static constexpr double plainKeySeconds = 0.1;
    // Keys typed between the selection and the paste that took the trigger's place, for the
    // expansion to be pasted again in front of them, at most, as many behind it, and how often
    // it is done. The paste goes out only once the field shows the selection, so the keys in
    // front of the paste came before those behind it.
    static constexpr qsizetype typedOnKeys = 32;
    static constexpr int pastesInFront = 6;
    // How often a paste made again whose page showed nothing of it is made once more.
    static constexpr int emptyPastesRetried = 1;
    // How often the selection for a paste made again that never showed is asked for once more.
    static constexpr int unshownSelectionsRetried = 1;
    // Looks at a paste with keys around it that the field has not all reported yet, before the
    // order is told from where they stand instead.
    static constexpr int unreportedLooks = 3;
    // Where keys behind the trigger are pasted again behind the expansion: how often keys that
    // reached the field behind the selection before it was applied are taken into it, at most.
    static constexpr int carries = 8;
    // A page that reads the clipboard for a paste on another way than its keys (Firefox under
    // GNOME, through the compositor) may show the paste later than a field that takes it with
    // the key: where keys behind the trigger are pasted again, the paste is looked for this many
    // times more (every pasteCheckDelay) while the field still shows the trigger selected.
    static constexpr int slowPasteChecks = 40;
    // Looks at a field that took a paste after the replacement ended, every pasteReadCheckDelay,
    // before what it shows is left as it is.
    static constexpr int lateLooksAfterPaste = 3;
    // A paste the field has not shown within the paste checks may still come: a busy
    // application reads the clipboard only when it gets to the paste key. Until it has asked
    // for the expansion (or this long has passed) the user's clipboard is not put back, or
    // the late paste would insert that instead.
    static constexpr double pasteReadCheckDelay = 0.1;
    static constexpr int pasteReadChecks = 300;
    // Where a browser's page may still take a paste it was not seen to read (looks every
    // pasteCheckDelay).
    static constexpr int latePasteChecks = 25;
    // Contents that could not be saved are asked for again after this long.
    static constexpr int unsavedRetrySeconds = 10;
    static constexpr qint64 largestExpansionBytes = 16'777'216;
    static inline const QString& textType = ClipboardFormats::utf8Text;
    static inline const QString& markerType = ClipboardFormats::expansionMarker;

    ExpansionReplacement(ExpansionClipboard& clipboard, Schedule schedule);

    // Whether text could have been typed key by key (Return and Tab edit rather than type).
    static bool isTypedText(const QString& text);
    // What is left of `text` once each of `keys` is taken out of it, wherever it stands; nothing
    // where one of them is not there.
    static std::optional<QString> withoutEach(QString text, const QString& keys);

    // Begins a replacement unless one is running or the plan cannot be carried out (false
    // then). `isCurrent` answers whether the replacement still belongs to the latest
    // keystroke; `completed` is called once, only when the paste has been verified, after the
    // clipboard was put back and isBusy() turned false. `ended` is called once when a started
    // replacement ends, whichever way, right after isBusy() turned false (before start() returns
    // where the look the plan brings decides at once).
    // Saves the clipboard for a replacement that may start soon, while the user's keys still
    // flow: reading another application's clipboard waits on that application, which must
    // never happen while keys are held. Cheap when the clipboard has not changed since.
    void prepare();

    // `typedAfter` answers with the text of the keys typed after the trigger's final key that
    // reached the field all the same (a busy engine reads the final key, and holds the keys,
    // late): they stand between the trigger and the caret, and go back behind the expansion.
    bool start(const ExpansionPlan& plan, std::shared_ptr<ExpansionTarget> target, std::function<bool()> isCurrent,
        std::function<void()> completed, std::function<void()> ended = {}, std::function<QString()> typedAfter = {});

    // The longest a started replacement can take, not counting the time its field spends
    // answering (nor the looks added for a field that stalled: resumedFieldSeconds).
    static constexpr double longestSeconds = firstCaretCheckDelay + quickCaretSeconds + caretCheckDelay * caretChecks
        + 2 * selectionCheckDelay * selectionChecks + pasteCheckDelay * pasteChecks;

    bool isBusy() const { return m_isBusy; }
    // The replacement under way has sent its paste keys: the field takes the expansion from
    // the clipboard whenever it gets to them, also once this process has ended.
    bool hasSentPaste() const { return m_isBusy && m_sentPaste; }

    // Runs `work` once no paste of ours can still be on its way to a field: at once, or when a
    // paste the field has not asked for yet is taken or given up. What may change the field's
    // selection (the primary selection going back to its owner deselects a GTK field) waits
    // for this, as a paste arriving then would land beside the trigger instead of over it.
    void afterPasteSettled(std::function<void()> work);

private:
    // The course and the clipboard it lends (ExpansionReplacement.cpp).
    struct Run;
    // When the field is looked at: in the turn of the final key, only an observation that
    // decides is acted on; anything else waits for a later turn.
    enum class LookAt { laterTurn, finalKeyTurn };
    void waitForFinalKey(const std::shared_ptr<Run>& run, int attempts, std::optional<TextRange> observed = {},
        LookAt when = LookAt::laterTurn);
    void lookInLaterTurn(const std::shared_ptr<Run>& run);
    void replace(const std::shared_ptr<Run>& run, qint64 caret);
    // Puts the expansion on the clipboard; false when it could not be written. Whether it is
    // still ours is asked before the paste.
    bool lend(const std::shared_ptr<Run>& run);
    void waitForSelection(const std::shared_ptr<Run>& run, int attempts);
    // Gives up a replacement whose trigger was asked to be selected: the caret goes back
    // behind the trigger, also over a selection still on its way, so that the next key does
    // not replace it; then the clipboard is put back.
    void abandonSelection(const std::shared_ptr<Run>& run, int attempts);
    // The replacement still belongs to the latest keystroke, and no key has reached the field
    // behind the trigger since the look that decided where the trigger is.
    static bool isCurrent(const Run& run);
    bool owns(const ClipboardWriteReceipt& receipt, const QList<ClipboardItemSnapshot>& contents);
    // The contents to put back after this replacement, saved by prepare() or still due from
    // an earlier replacement; nothing when the clipboard changed since.
    std::optional<QList<ClipboardItemSnapshot>> takePrevious();
    void restore(const Run& run);
    void pasteSettled();
    void finish(const Run& run);
    // Ends a replacement that leaves the trigger as typed, saying why in the engine's log.
    void giveUp(const Run& run, const QString& why);

    // The paste looked for and read back (ExpansionReplacementReadBack.cpp).
    void verifyPaste(const std::shared_ptr<Run>& run, double delay);
    // Whether the paste key arrived as its plain letter in place of the trigger, in which case
    // the paste goes out again over the letter (once) and is looked for afresh.
    bool pastedPlainKey(const std::shared_ptr<Run>& run, const std::optional<TextRange>& selection);
    static double firstPasteCheckDelayFor(const Run& run);
    // Looks at the field for the paste after `delay`, within the time the paste is given.
    // A field that may still read the clipboard late is looked for up to `checks`
    // pasteCheckDelays.
    bool schedulePasteCheck(const std::shared_ptr<Run>& run, double delay, int checks = pasteChecks);
    // Puts the user's clipboard back once the field has asked for the pasted expansion.
    void restoreOnceRead(const std::shared_ptr<Run>& run);
    void awaitPasteRead(const std::shared_ptr<Run>& run, int attempts);
    void awaitPasteShown(const std::shared_ptr<Run>& run, int attempts);
    // The focused application has not asked for the pasted expansion since the paste keys went
    // out; false also when the clipboard cannot tell.
    bool pasteMayBePending(const Run& run);
    // Whether the paste keys may still wait in the field's queue: the field has not asked for
    // the expansion, and has not answered for resumedFieldSeconds without a break.
    bool mayStillHavePasteKeys(const Run& run);
    // Whether a paste arrived whole as the field shows it (see ShownPaste: line breaks as
    // paragraph separators, embedded objects or spaces, U+FEFF after emoji, tabs and spaces as
    // no-break spaces), or as paragraphs that are elements of their own with the focus and the
    // caret in the last.
    bool arrivedShownTheFieldsWay(const Run& run, const std::optional<TextRange>& selection);
    // The expansion stands whole in the trigger's place, in one of those ways.
    bool arrivedInPlace(const Run& run, const std::optional<TextRange>& selection);
    bool arrivedInAnotherElement(const Run& run);
    // The expansion stands whole in the trigger's place in an element the application made of
    // the field's text anew, whose caret it left in front of the paste: the caret goes behind
    // the paste, where the keys typed on belong.
    bool arrivedInElementMadeAnew(const Run& run);
    // A paste that did not arrive whole: the range it took, what the field shows there, why,
    // the contents that went in its stead when someone copied meanwhile, and the keys typed on
    // that it took in, which go back behind the trigger.
    struct Arrival {
        TextRange range;
        QString text;
        QString why;
        std::optional<QList<ClipboardItemSnapshot>> contents;
        QString keysTypedOn;
    };
    std::optional<Arrival> whatArrived(const Run& run);
    // A paste the field got to only after the replacement had let the keys typed on go, which
    // landed behind them, at `caret` or in front of keys typed since; nothing otherwise.
    std::optional<Arrival> arrivedBehindKeysTypedOn(const Run& run, TextRange caret);
    // Puts the trigger as typed back over a paste that did not arrive whole, by the same steps
    // as the expansion went (the user's clipboard is put back afterwards); false when nothing
    // tells that it did not.
    bool putBackWhatArrived(const std::shared_ptr<Run>& run);
    // Before a paste goes out again: it is looked for as if none had gone before.
    void lookForPasteAfresh(Run& run);
    // Looks, after the replacement ended, for a paste the field was not seen to take.
    void watchLatePaste(const std::shared_ptr<Run>& run);
    void awaitLatePaste(const std::shared_ptr<Run>& run, int looks);

    // The paste over a selection a browser's page applies while the user types on
    // (ExpansionReplacementBrowserPaste.cpp).
    // Asks a target that pastes while the user types on to select `range`, which holds
    // `selected`, and pastes over it once the field shows the selection; false when it could
    // not be asked.
    // `lengthBefore` is the text's length when the range was found (read now when not given):
    // what the text grew by since then is keys typed behind the range.
    bool selectForPaste(const std::shared_ptr<Run>& run, TextRange range, const QString& selected,
        std::optional<qint64> lengthBefore = std::nullopt);
    // Pastes over the range being selected once the field shows it (at once where it applies the
    // selection before later keys); false when the paste was not posted.
    bool pasteOnceSelecting(const std::shared_ptr<Run>& run);
    void pasteOnceSelected(const std::shared_ptr<Run>& run, int attempts);
    // Where keys behind the range are pasted again with it: once the field shows the selection,
    // keys that reached it behind the range are taken in (and their selection waited for in
    // turn); with none, the paste goes out.
    void carryOnceSelected(const std::shared_ptr<Run>& run, int attempts);
    // Asks once more for the selection of a paste made again that the field never showed, where
    // what it was to cover still stands there; false otherwise.
    bool selectAgainWhereUnshown(const std::shared_ptr<Run>& run);
    // Pastes over a selection the field shows, asking again a few times where the paste could not
    // be sent (a field too busy to answer); gives the selection up when it still cannot.
    void pasteOverSelection(const std::shared_ptr<Run>& run, int attempts);
    // Keys that reached the field behind the range being selected for the paste, at the end of
    // the text, when they can be pasted again behind the expansion; nothing when there are none
    // or they cannot.
    std::optional<QString> keysBehindSelection(const Run& run, qint64 length);
    // Takes those keys into the range replaced and into what is pasted, and selects it all;
    // false when that could not be done. With `landedIn`, the keys landed inside the range of a
    // paste made again, which now holds that text.
    bool carryKeysBehind(const std::shared_ptr<Run>& run, const QString& keys, qint64 length,
        const std::optional<QString>& landedIn = std::nullopt);
    // Keys typed on that landed inside the range of a paste made again before its selection
    // applied, and the text there now; nothing when it is not what was selected with keys in it.
    std::optional<QString> keysInsideSelection(const Run& run, qint64 length, QString& shownThere);
    // Pastes over what selectForPaste() selected; false when the paste was not posted.
    bool sendPaste(const std::shared_ptr<Run>& run);
    // Whether a paste made again, given up, leaves the expansion that had arrived in the field.
    static bool keptExpansion(const Run& run);
    // Whether the field shows the paste made again whole, its keys in another order.
    static bool showsKeysAgainBehindExpansion(const Run& run);
    // Whether a key typed after the trigger took its place before the paste came, the expansion
    // landing behind it, in which case all of it is pasted again in the order typed.
    bool pasteBehindTypedKeys(const std::shared_ptr<Run>& run, TextRange selection);
    // Whether keys typed on stand around the paste out of the order the field reported them in
    // (or have not all been reported yet, for a few looks), in which case all of it is pasted
    // again, the keys behind the expansion in that order (or looked at again).
    bool pasteInReportedOrder(const std::shared_ptr<Run>& run);
    // Whether `text`, found in the place of the range being selected, may be keys typed since the
    // trigger: each of its characters one the field reported typed. Where it has not reported them
    // all, false while the range's text still stands there, else false for a few looks, then true.
    static bool mayBeKeys(Run& run, const QString& text);
    // The keys typed on in the order the field reported them, where they are all that stands
    // around the expansion in `shown` (from the trigger's place) and not in that order yet;
    // nothing otherwise, `lag` set where some that stand there have not been reported yet.
    static std::optional<QString> keysInReportedOrder(const Run& run, const QString& shown, bool& lag);
    // Whether the paste landed behind keys typed on after the trigger, which it left in place
    // (a page that took the keys and the paste before the selection), in which case the
    // trigger and all behind it up to the end are pasted over once more: the expansion, then
    // the keys in the order typed.
    bool pasteBehindTrigger(const std::shared_ptr<Run>& run);
    // Selects `shown`, what stands from the trigger's place over `reach` units, and pastes the
    // expansion followed by `keys` over it; false (nothing changed) when that could not be done.
    // `length`: the text's length `shown` was read up to, where it reaches the end.
    bool pasteAgainOver(const std::shared_ptr<Run>& run, const QString& shown, const QString& keys, qint64 reach,
        std::optional<qint64> length);
    // Puts the trigger back, with the keys typed on behind it, where keys took the selected
    // trigger's place in a page and the paste never showed; false where anything else stands there.
    bool putBackOverKeysTyped(const std::shared_ptr<Run>& run);
    // Selects what a paste made again was to go over once more, and pastes again, where the page
    // shows it as it stood with nothing of the paste; false otherwise.
    bool pasteAgainOverUnchanged(const std::shared_ptr<Run>& run);
    // Whether keys typed at the caret the paste left stand between it and the keys that had
    // reached the field behind the trigger first, in which case all of it is pasted again with
    // the latter first.
    bool pasteInFrontOfKeysTypedBeforeEnd(const std::shared_ptr<Run>& run);
    // Selects the run's range, which holds `selected`, and pastes what the run now pastes over
    // it, looked for as if no paste had gone before.
    void pasteAfreshOver(const std::shared_ptr<Run>& run, const QString& selected);

    ExpansionClipboard& m_clipboard;
    Schedule m_schedule;
    bool m_isBusy = false;
    bool m_sentPaste = false;
    struct Saved {
        qint64 changeCount = 0;
        QList<ClipboardItemSnapshot> items;
    };
    std::optional<Saved> m_prepared;
    std::optional<std::pair<qint64, QDeadlineTimer>> m_unsaved;
    // A replacement whose paste was posted but not seen, waiting to put the clipboard back.
    std::shared_ptr<Run> m_awaitingRead;
    QList<std::function<void()>> m_afterPaste;
};
