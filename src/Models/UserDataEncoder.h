#pragma once

#include "Models/UserData.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <atomic>
#include <functional>
#include <future>
#include <memory>

// Writes libraries exactly as VelmoraJSON::encode does, but remembers from the previous call
// which shortcuts were found to read back as themselves, so that saving one edit of a large
// library checks only the records that changed, not ten thousand. The written texts
// themselves are not kept in memory (that would be a second copy of the library's text for as
// long as the program runs): where each one lies in the bytes last written, and a hash of it,
// is. Given those bytes again (the file as it is on disk), the texts of unchanged shortcuts are
// copied from them, once their hash shows they are still there, instead of encoded anew.
//
// Every shortcut's text is read back as a shortcut equal to the one it was made from when it is
// made, and the rest of the library likewise, so bytes it vouches for decode to a library equal
// to the one given: they pass the library's rules exactly when the library does.
class UserDataEncoder {
public:
    // The bytes, vouched for unless some part of the library does not survive encoding
    // unchanged (text that is not valid Unicode); a full read-back then has to decide. Throws
    // the coder's EncodingError, like VelmoraJSON::encode.
    //
    // `previous`, when given, holds the bytes the previous encode() or adopt() was given or
    // made (say, the file they were written to): their size, and a function that reads `size`
    // bytes at `offset` into `into`, from several threads at once. Any other bytes only cost
    // the reading.
    struct Previous {
        qsizetype size = -1;
        std::function<bool(qsizetype offset, qsizetype size, char* into)> read;
    };
    // Bytes held in memory, as a Previous.
    static Previous inMemory(QByteArray bytes);
    VelmoraJSON::Encoded encode(const UserData& data, const Previous& previous);
    VelmoraJSON::Encoded encode(const UserData& data) { return encode(data, Previous{}); }

    // Learns from `written`, the bytes that were just read, decoded and validated as `data`,
    // that its shortcuts read back, so that the first save after a load is as quick as the
    // later ones; only when the file holds exactly what encode() would write for `data`. The
    // work runs on other threads, which let the bytes go when done; the next encode() waits.
    void adopt(QByteArray written, const UserData& data);
    // The same with the bytes read again a piece at a time from where they lie (the file they
    // were read from), so that a large library's bytes need not stay in memory meanwhile.
    // `unchanged`, asked once they have all been looked at, says whether they are still the
    // ones that were decoded as `data`; nothing is learnt otherwise.
    void adopt(Previous written, std::function<bool()> unchanged, const UserData& data);
    // The same, but the work waits for startAdopting() (or the next encode(), which starts it
    // itself), so that it does not take the processor from a program still starting.
    void adoptLater(Previous written, std::function<bool()> unchanged, const UserData& data);
    void startAdopting();

    UserDataEncoder() = default;
    ~UserDataEncoder();
    UserDataEncoder(const UserDataEncoder&) = delete;
    UserDataEncoder& operator=(const UserDataEncoder&) = delete;

private:
    // The shortcuts of the last library encoded or adopted, in its order, and which of them
    // read back. The list is a copy of the library's own, so unless the library has changed
    // since, it takes no memory of its own.
    struct Known {
        QList<Shortcut> shortcuts;
        QList<bool> readsBack;
        // Positions by exact id, made when a shortcut is not found where it was.
        QHash<QString, qsizetype> places;
        // Where each text lies in the bytes made or adopted, and their hash; empty when unknown.
        struct Piece {
            qsizetype offset = 0;
            qsizetype size = 0;
            size_t hash = 0;
        };
        QList<Piece> pieces;
        qsizetype total = 0;

        // The place of `shortcut` (expected at `position`) among the known shortcuts when it is,
        // field for field, one that was found to read back; -1 otherwise.
        qsizetype placeOf(const Shortcut& shortcut, qsizetype position);
    };

    // The shortcut's text at the depth of the library's list, without the separating comma.
    // With `readsBack`, also whether the text reads back as the shortcut.
    static QByteArray encodeShortcut(const Shortcut& shortcut, bool* readsBack);
    static bool readsBackAs(const QByteArray& alone, const Shortcut& shortcut);

    static Known adoptTexts(
        const Previous& written, const UserData& data, const std::shared_ptr<const std::atomic<bool>>& stop);
    // Waits for the texts being taken and keeps them.
    void finishAdopting();
    // Gives up the texts being taken.
    void stopAdopting();

    struct Held {
        Previous written;
        std::function<bool()> unchanged;
        UserData data;
    };

    Known m_known;
    // The arguments of an adoption not started yet.
    std::shared_ptr<Held> m_waiting;
    std::future<Known> m_adopting;
    std::shared_ptr<std::atomic<bool>> m_stop;
};
