#pragma once

#include <QString>

// The pasteboard's type names and the MIME types of the X11 clipboard, one to one. Names without
// an entry pass through unchanged in both directions, so that whatever another application
// offers is saved and put back under the same name.
namespace PasteboardTypes {

QString mimeType(const QString& pasteboardType);
QString pasteboardType(const QString& mimeType);

// Targets that describe or act on the selection instead of holding its contents (asking for
// DELETE would make the owner delete its selected text), and Qt's stand-in for images.
bool isMetaTarget(const QString& mimeType);

// The MIME type of the marker that a replacement puts next to its expansion.
QString expansionMarkerMimeType();

}
