#pragma once

#include "Models/VelmoraJSON.h"
#include "Persistence/FileIO.h"
#include "Utilities/VelmoraError.h"

#include <QMap>
#include <QString>

// The fresh start: archives a verified copy of every data file and backup in a new private
// folder "library-recovery-<UUID>" beside them, then replaces the four data files with
// fresh contents. No earlier content is ever moved or deleted. Every file written is read
// back, every archived copy is proven against its SHA-256 fingerprint on disk before the
// first data file is replaced, and the marker "library-reset.json" makes the replacement
// resumable: while it exists the store is not ready, and `start` continues that run.
namespace LibraryRecovery {

class Failure : public VelmoraError {
public:
    enum Reason {
        interrupted, // reported by the store while the marker exists; never by `start`
        invalidArchive, // the marker, the manifest or a copy cannot be trusted
        changed, // a data file or backup is neither what was archived nor its fresh content
    };

    explicit Failure(Reason reason)
        : m_reason(reason)
    {
    }
    Reason reason() const { return m_reason; }
    QString errorDescription() const override;

    friend bool operator==(const Failure& a, const Failure& b) { return a.m_reason == b.m_reason; }

private:
    Reason m_reason;
};

// What the marker and the archive's "manifest.json" hold, byte for byte the same.
struct Record {
    qint64 version = 1;
    QString archiveID; // upper-case UUID text; names the archive folder
    QMap<QString, QString> files; // managed name -> fingerprint of its archived copy
    QMap<QString, QString> targets; // data file name -> fingerprint of its fresh content

    static Record fromJson(const JsonReader& reader);
    QJsonValue toJson() const;
};

// "library-reset.json"
QString markerFileName();

// Runs a new fresh start in `folder`, or continues the one its marker names, to the end, and
// returns the archive folder's path. Every file goes through `write`, asked for owner-only
// access. Throws Failure::invalidArchive or Failure::changed, or the file system's or the
// coder's error unchanged; after any failure, calling again is safe.
QString start(const QString& folder, const FileIO::Writer& write);

// Keeps a private copy of every data file and backup of `folder` in a new folder
// `archiveName` beside them (a numbered name when that one is taken) and returns its path;
// nothing in `folder` changes. Each copy is read back, and the originals are checked not to
// have changed meanwhile. Throws Failure::changed or Failure::invalidArchive, or the file
// system's error unchanged.
QString keepCopies(const QString& folder, const QString& archiveName, const FileIO::Writer& write);

} // namespace LibraryRecovery
