#pragma once

#include <QString>

// What the X11 selections offer besides their contents.
namespace PasteboardTypes {

// Targets that describe or act on the selection instead of holding its contents (asking for
// DELETE would make the owner delete its selected text), and Qt's stand-in for images.
bool isMetaTarget(const QString& mimeType);

}
