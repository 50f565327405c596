#pragma once

#include "Models/UserData.h"

#include <QByteArray>
#include <QHash>
#include <QString>

// Writes libraries exactly as VelmoraJSON::encode does, but keeps each shortcut's written text
// from the previous call and encodes again only the shortcuts that changed, so saving one edit
// of a large library does not rewrite ten thousand records.
//
// Every shortcut's text is read back as a shortcut equal to the one it was made from when it is
// made, and the rest of the library likewise, so bytes it vouches for decode to a library equal
// to the one given: they pass the library's rules exactly when the library does.
class UserDataEncoder {
public:
    // The bytes, vouched for unless some part of the library does not survive encoding
    // unchanged (text that is not valid Unicode); a full read-back then has to decide. Throws
    // the coder's EncodingError, like VelmoraJSON::encode.
    VelmoraJSON::Encoded encode(const UserData& data);

private:
    struct Entry {
        Shortcut shortcut;
        qsizetype offset = 0; // of the shortcut's text in m_written
        qsizetype size = 0;
        bool readsBack = false;
    };

    // The shortcut's text at the depth of the library's list, without the separating comma.
    static QByteArray encodeShortcut(const Shortcut& shortcut, bool& readsBack);

    QHash<QString, Entry> m_entries; // by exact id
    QByteArray m_written;
};
