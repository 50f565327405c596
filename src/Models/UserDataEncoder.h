#pragma once

#include "Models/UserData.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <atomic>
#include <future>
#include <memory>

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

    // Takes the shortcuts' texts from `written`, the bytes that were just read, decoded and
    // validated as `data`, so that the first save after a load is as quick as the later ones.
    // Texts are taken only when the file holds exactly what encode() would write for `data`;
    // the work runs on other threads and the next encode() waits for it.
    void adopt(const QByteArray& written, const UserData& data);

    UserDataEncoder() = default;
    ~UserDataEncoder();
    UserDataEncoder(const UserDataEncoder&) = delete;
    UserDataEncoder& operator=(const UserDataEncoder&) = delete;

private:
    struct Entry {
        Shortcut shortcut;
        qsizetype offset = 0; // of the shortcut's text in m_written
        qsizetype size = 0;
        bool readsBack = false;
    };

    // The shortcut's text at the depth of the library's list, without the separating comma.
    // With `readsBack`, also whether the text reads back as the shortcut.
    static QByteArray encodeShortcut(const Shortcut& shortcut, bool* readsBack);
    static bool readsBackAs(const QByteArray& alone, const Shortcut& shortcut);

    struct Adopted {
        QHash<QString, Entry> entries;
        QByteArray written;
    };
    static Adopted adoptTexts(
        const QByteArray& written, const UserData& data, std::shared_ptr<const std::atomic<bool>> stop);
    // Waits for the texts being taken and keeps them.
    void finishAdopting();
    // Gives up the texts being taken.
    void stopAdopting();

    QHash<QString, Entry> m_entries; // by exact id
    QByteArray m_written;
    std::future<Adopted> m_adopting;
    std::shared_ptr<std::atomic<bool>> m_stop;
};
