#include "Persistence/LibraryRecovery.h"

#include "Models/AppSettings.h"
#include "Models/Stats.h"
#include "Models/SyncRecord.h"
#include "Models/UserData.h"
#include "Utilities/Uuid.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSet>
#include <algorithm>
#include <optional>

namespace LibraryRecovery {

QString Failure::errorDescription() const
{
    switch (m_reason) {
    case interrupted:
        return QStringLiteral("The fresh-start operation was interrupted. Your original files are saved; continue it "
                              "to reopen Velmora.");
    case invalidArchive:
        return QStringLiteral("The saved recovery copy could not be verified. No further files were replaced.");
    case changed: return QStringLiteral("A saved file changed during recovery. No further files were replaced.");
    }
    return {};
}

Record Record::fromJson(const JsonReader& reader)
{
    Record record;
    record.version = reader.required<qint64>(QStringLiteral("version"));
    const JsonReader id = reader[QStringLiteral("archiveID")];
    const std::optional<QUuid> uuid = Uuid::parse(reader.required<QString>(QStringLiteral("archiveID")));
    if (!uuid)
        throw DecodingError::dataCorrupted(
            QStringLiteral("Attempted to decode UUID from invalid UUID string."), id.path());
    record.archiveID = Uuid::text(*uuid);
    record.files = reader.required<QMap<QString, QString>>(QStringLiteral("files"));
    record.targets = reader.required<QMap<QString, QString>>(QStringLiteral("targets"));
    return record;
}

QJsonValue Record::toJson() const
{
    return QJsonObject{
        {QStringLiteral("version"), version},
        {QStringLiteral("archiveID"), archiveID},
        {QStringLiteral("files"), JsonCoding<QMap<QString, QString>>::encode(files)},
        {QStringLiteral("targets"), JsonCoding<QMap<QString, QString>>::encode(targets)},
    };
}

QString markerFileName()
{
    return QStringLiteral("library-reset.json");
}

namespace {

    using Contents = std::optional<QByteArray>; // nullopt: the file is absent

    const QString archivePrefix = QStringLiteral("library-recovery-");
    const QString freshPrefix = QStringLiteral("fresh-");
    const QString manifestName = QStringLiteral("manifest.json");

    QString digest(const QByteArray& bytes)
    {
        return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    }

    // The four data files in ascending name order, each with the content that replaces it.
    QMap<QString, QByteArray> freshContents()
    {
        return {
            {QStringLiteral("data.json"), VelmoraJSON::encode(UserData::empty())},
            {QStringLiteral("settings.json"), VelmoraJSON::encode(AppSettings::defaults())},
            {QStringLiteral("stats.json"), VelmoraJSON::encode(Stats::empty())},
            {QStringLiteral("sync-state.json"), VelmoraJSON::encode(SyncRecord())},
        };
    }

    // Each data file followed by its backup.
    QStringList managedNames(const QMap<QString, QByteArray>& fresh)
    {
        QStringList names;
        for (const QString& name : fresh.keys())
            names << name << name + QStringLiteral(".backup");
        return names;
    }

    // Writes a file that only its owner may read, and proves that it holds what was given.
    void privateWrite(const FileIO::Writer& write, const QByteArray& bytes, const QString& path)
    {
        write(bytes, path, FileIO::Access::ownerOnly);
        const Contents written = FileIO::read(path);
        if (!written || *written != bytes)
            throw Failure(Failure::invalidArchive);
    }

    // A managed file is acceptable when it is exactly what was archived (absent when nothing
    // was) or, for a data file, exactly its fresh content.
    bool acceptable(const QString& name, const Contents& onDisk, const QMap<QString, QByteArray>& verified,
        const QMap<QString, QByteArray>& fresh)
    {
        const Contents archived = verified.contains(name) ? Contents(verified.value(name)) : std::nullopt;
        if (onDisk == archived)
            return true;
        return onDisk && fresh.contains(name) && *onDisk == fresh.value(name);
    }

    // Copies every managed file that exists into `archive`, then proves that none of them
    // changed while it was copied.
    QMap<QString, Contents> copyManaged(
        const QDir& folder, const QDir& archive, const QStringList& managed, const FileIO::Writer& write)
    {
        QMap<QString, Contents> copied;
        for (const QString& name : managed) {
            const Contents bytes = FileIO::read(folder.filePath(name));
            copied.insert(name, bytes);
            if (bytes)
                privateWrite(write, *bytes, archive.filePath(name));
        }
        for (const QString& name : managed) {
            if (FileIO::read(folder.filePath(name)) != copied.value(name))
                throw Failure(Failure::changed);
        }
        return copied;
    }

    struct Run {
        Record record;
        QString archive;
    };

    // Copies every managed file into a new archive folder and writes the manifest and the
    // marker. Until the marker exists nothing in the data folder has been touched.
    Run archiveEverything(const QDir& folder, const QStringList& managed, const QMap<QString, QByteArray>& fresh,
        const FileIO::Writer& write)
    {
        Run run;
        run.record.archiveID = Uuid::generate();
        run.archive = folder.filePath(archivePrefix + run.record.archiveID);
        FileIO::makeFolders(run.archive);
        const QDir archive(run.archive);

        const QMap<QString, Contents> copied = copyManaged(folder, archive, managed, write);
        for (auto it = fresh.begin(); it != fresh.end(); ++it)
            privateWrite(write, it.value(), archive.filePath(freshPrefix + it.key()));

        for (auto it = copied.begin(); it != copied.end(); ++it) {
            if (it.value())
                run.record.files.insert(it.key(), digest(*it.value()));
        }
        for (auto it = fresh.begin(); it != fresh.end(); ++it)
            run.record.targets.insert(it.key(), digest(it.value()));

        const QByteArray record = VelmoraJSON::encode(run.record);
        privateWrite(write, record, archive.filePath(manifestName));
        privateWrite(write, record, folder.filePath(markerFileName()));
        return run;
    }

    Run resume(const QDir& folder, const QByteArray& marker, const QStringList& managed,
        const QMap<QString, QByteArray>& fresh)
    {
        Run run;
        run.record = VelmoraJSON::decode<Record>(marker);
        const QSet<QString> known(managed.begin(), managed.end());
        const QStringList named = run.record.files.keys();
        const bool filesKnown
            = std::all_of(named.begin(), named.end(), [&](const QString& name) { return known.contains(name); });
        if (run.record.version != 1 || !filesKnown || run.record.targets.keys() != fresh.keys())
            throw Failure(Failure::invalidArchive);
        run.archive = folder.filePath(archivePrefix + run.record.archiveID);
        return run;
    }

    // A file of the archive whose fingerprint must be `expected`.
    QByteArray provenCopy(const QDir& archive, const QString& name, const QString& expected)
    {
        const Contents bytes = FileIO::read(archive.filePath(name));
        if (!bytes || digest(*bytes) != expected)
            throw Failure(Failure::invalidArchive);
        return *bytes;
    }

    // Trusts nothing held in memory: the archive is proven from disk before any data file is
    // replaced, and every data file is checked again just before it is.
    void complete(const QDir& folder, const Run& run, const QStringList& managed, const FileIO::Writer& write)
    {
        const QDir archive(run.archive);
        if (FileIO::read(archive.filePath(manifestName)) != VelmoraJSON::encode(run.record))
            throw Failure(Failure::invalidArchive);

        QMap<QString, QByteArray> fresh;
        for (auto it = run.record.targets.begin(); it != run.record.targets.end(); ++it)
            fresh.insert(it.key(), provenCopy(archive, freshPrefix + it.key(), it.value()));
        QMap<QString, QByteArray> verified;
        for (auto it = run.record.files.begin(); it != run.record.files.end(); ++it)
            verified.insert(it.key(), provenCopy(archive, it.key(), it.value()));

        for (const QString& name : managed) {
            if (!acceptable(name, FileIO::read(folder.filePath(name)), verified, fresh))
                throw Failure(Failure::changed);
        }
        for (auto it = fresh.begin(); it != fresh.end(); ++it) {
            const QString path = folder.filePath(it.key());
            if (!acceptable(it.key(), FileIO::read(path), verified, fresh))
                throw Failure(Failure::changed);
            privateWrite(write, it.value(), path);
        }
        FileIO::remove(folder.filePath(markerFileName()));
    }

} // namespace

QString start(const QString& folder, const FileIO::Writer& write)
{
    const QMap<QString, QByteArray> fresh = freshContents();
    const QStringList managed = managedNames(fresh);
    const QDir dir(folder);
    const Contents marker = FileIO::read(dir.filePath(markerFileName()));
    const Run run = marker ? resume(dir, *marker, managed, fresh) : archiveEverything(dir, managed, fresh, write);
    complete(dir, run, managed, write);
    return run.archive;
}

QString keepCopies(const QString& folder, const QString& archiveName, const FileIO::Writer& write)
{
    const QDir dir(folder);
    QString path = dir.filePath(archiveName);
    for (int n = 2; FileIO::exists(path); ++n)
        path = dir.filePath(archiveName + QStringLiteral("-%1").arg(n));
    FileIO::makeFolders(path);
    copyManaged(dir, QDir(path), managedNames(freshContents()), write);
    return path;
}

} // namespace LibraryRecovery
