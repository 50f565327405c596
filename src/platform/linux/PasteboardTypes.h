#pragma once

#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// What the X11 selections offer besides their contents.
namespace PasteboardTypes {

// Targets that describe or act on the selection instead of holding its contents (asking for
// DELETE would make the owner delete its selected text), and Qt's stand-in for images.
bool isMetaTarget(const QString& mimeType);

// The bytes of one type of contents we offer: its own, or for one of `aliases` (other names we
// offer plain text under) the UTF-8 text.
std::optional<QByteArray> bytesOf(const PasteboardItem& item, const QStringList& aliases, const QString& type);

}
