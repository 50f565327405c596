#pragma once

#include "Models/UserData.h"

#include <QList>
#include <QString>
#include <optional>

// The texts the main list derives from the library, free of widgets.
namespace CardTexts {

// A folder as the move menus and the folder line name it: its icon text ("📁" when it has
// none), a space, its name. Icon keys are shown as their text.
QString folderTitle(const Group& group);

// The folder line under a shortcut card: only while searching (any text, blanks included)
// and only for a shortcut in an existing folder.
std::optional<QString> folderLabel(const Shortcut& shortcut, const UserData& library, const QString& searchQuery);

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
