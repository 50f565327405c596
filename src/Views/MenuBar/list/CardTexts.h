#pragma once

#include "Models/UserData.h"

#include <QList>
#include <QString>
#include <optional>

// The texts the main list derives from the library, free of widgets.
namespace CardTexts {

// The folder the line under a shortcut card names: only while searching (any text, blanks
// included) and only for a shortcut in an existing folder; null otherwise. The line shows the
// folder's icon drawn, then its name.
const Group* labelledFolder(const Shortcut& shortcut, const UserData& library, const QString& searchQuery);

// "0 items", "1 item", "2 items".
QString itemCount(qsizetype count);

// How many items lie directly in the folder `folderId`: its shortcuts and its folders.
qsizetype childCount(const UserData& data, const QString& folderId);

// `text` for a menu entry or a button title, shown as written: a single "&" would otherwise
// mark the next character as a keyboard mnemonic and vanish.
QString literal(const QString& text);

// The duplicate-trigger banner's line for `count` distinct triggers shared by two or more
// shortcuts.
QString duplicateTriggers(qsizetype count);

} // namespace CardTexts
