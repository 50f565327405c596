#pragma once

// What one replacement carries through its course. ExpansionReplacement keeps its routes in files
// of their own (ExpansionReplacement.cpp: the course and the clipboard it lends;
// ExpansionReplacementReadBack.cpp: the paste looked for and read back; ExpansionReplacementBrowserPaste.cpp:
// the paste over a selection a browser's page applies while the user types on); each steps the
// same run, so its state lives here, for those files only.

#include "Engine/ExpansionReplacement.h"
#include "Utilities/Text.h"

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
    // How often the selection for such a paste, never shown, was asked for once more.
    int unshownSelections = 0;
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

namespace ReplacementText {
// A page's rich-text region shows a space that stands last, or beside another, as a no-break
// space, and makes it a plain one again once text follows it (Firefox: the space typed over the
// selected trigger behind "Hi " read as U+00A0, then as a space once the paste stood behind it):
// the same text either way.
inline QString plainSpaces(QString text)
{
    return text.replace(QChar::Nbsp, u' ');
}

// A field too busy to answer gives no text: that is never the text expected.
inline bool equalText(const std::optional<QString>& text, const QString& expected)
{
    return text && (Text::equal(*text, expected) || Text::equal(plainSpaces(*text), plainSpaces(expected)));
}
} // namespace ReplacementText
