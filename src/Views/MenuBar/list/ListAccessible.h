#pragma once

#include <QString>

class LibraryItemCard;

// The main list as assistive technology reads it: the list of cards (a list whose rows may be
// selected several at a time) and each built card as a row of it, selectable, selected while
// it is in the selection, and focused while it is the one selected row of the list that
// holds the keyboard. Descriptions exist for built cards only: a library of tens of thousands
// of shortcuts gets one for the few cards on screen, when a screen reader asks.
namespace ListAccessible {

// Readies the descriptions for the list and its cards; called by every card and list.
void install();

// Tells assistive technology that `card` was selected or deselected (`selectionChanged`), and
// that it is the row the keyboard is on when it is.
void announceSelection(LibraryItemCard* card, bool selectionChanged);

// `text` cut to what a screen reader should read as a row's description: one line, at most
// a sentence or two long.
QString spokenPreview(const QString& text);

} // namespace ListAccessible
