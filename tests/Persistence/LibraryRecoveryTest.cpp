#include "Persistence/LibraryRecovery.h"
#include "ErrorCapture.h"
#include "Models/AppSettings.h"
#include "Models/Stats.h"
#include "Models/SyncRecord.h"
#include "StorageTestSupport.h"
#include "TempDir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <gtest/gtest.h>

using StorageTest::modeOf;
using Failure = LibraryRecovery::Failure;

namespace {

const QStringList dataFiles{QStringLiteral("data.json"), QStringLiteral("settings.json"), QStringLiteral("stats.json"),
    QStringLiteral("sync-state.json")};

QMap<QString, QByteArray> freshContents()
{
    return {{QStringLiteral("data.json"), VelmoraJSON::encode(UserData::empty())},
        {QStringLiteral("settings.json"), VelmoraJSON::encode(AppSettings::defaults())},
        {QStringLiteral("stats.json"), VelmoraJSON::encode(Stats::empty())},
        {QStringLiteral("sync-state.json"), VelmoraJSON::encode(SyncRecord())}};
}

// A file of an archive folder, empty when it is absent.
QByteArray archived(const QString& archive, const QString& name)
{
    return FileIO::read(QDir(archive).filePath(name)).value_or(QByteArray());
}

LibraryRecovery::Record manifestOf(const QString& archive)
{
    return VelmoraJSON::decode<LibraryRecovery::Record>(archived(archive, QStringLiteral("manifest.json")));
}

QString sha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

class LibraryRecoveryTest : public ::testing::Test {
protected:
    // A typical folder that needs a fresh start: one file damaged, the rest readable.
    void fillFolder()
    {
        original = {
            {QStringLiteral("data.json"), VelmoraJSON::encode(StorageTest::library(QStringLiteral("current")))},
            {QStringLiteral("data.json.backup"), VelmoraJSON::encode(StorageTest::library(QStringLiteral("previous")))},
            {QStringLiteral("settings.json"), QByteArray("{ damaged")},
            {QStringLiteral("stats.json"), QByteArray("{\"totalExpansions\": 7}")},
            {QStringLiteral("sync-state.json"), QByteArray("{\"version\": 1}")},
        };
        for (auto it = original.begin(); it != original.end(); ++it)
            dir.write(it.key(), it.value());
    }

    QString start() { return LibraryRecovery::start(dir.path(), writer.writer()); }

    QStringList archiveFolders() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("library-recovery-*")}, QDir::Dirs);
    }

    bool markerExists() const { return dir.exists(LibraryRecovery::markerFileName()); }

    LibraryRecovery::Record marker() const
    {
        return VelmoraJSON::decode<LibraryRecovery::Record>(dir.read(LibraryRecovery::markerFileName()));
    }

    void expectFreshDataFiles() const
    {
        const QMap<QString, QByteArray> fresh = freshContents();
        for (auto it = fresh.begin(); it != fresh.end(); ++it)
            EXPECT_EQ(dir.read(it.key()), it.value()) << it.key().toStdString();
    }

    // Leaves a run stopped just after its marker was written.
    void interruptAfterMarker()
    {
        writer.fails = [](const QString& path) {
            return dataFiles.contains(QFileInfo(path).fileName())
                && !path.contains(QStringLiteral("library-recovery-"));
        };
        EXPECT_TRUE(errorThrownBy<FileSystemError>([&] { start(); }));
        writer.fails = [](const QString&) { return false; };
        ASSERT_TRUE(markerExists());
    }

    TempDir dir;
    StorageTest::ControlledWriter writer;
    QMap<QString, QByteArray> original;
};

} // namespace

TEST_F(LibraryRecoveryTest, AnEmptyFolderGetsFreshFilesAndAnArchiveOfOnlyTheFreshCopies)
{
    const QString archive = start();
    EXPECT_EQ(archiveFolders(), QStringList{QFileInfo(archive).fileName()});
    EXPECT_EQ(QDir(archive).entryList(QDir::Files),
        (QStringList{QStringLiteral("fresh-data.json"), QStringLiteral("fresh-settings.json"),
            QStringLiteral("fresh-stats.json"), QStringLiteral("fresh-sync-state.json"),
            QStringLiteral("manifest.json")}));
    const auto manifest = manifestOf(archive);
    EXPECT_TRUE(manifest.files.isEmpty());
    const QJsonObject written = QJsonDocument::fromJson(archived(archive, QStringLiteral("manifest.json"))).object();
    EXPECT_TRUE(written.value(QStringLiteral("files")).isObject());
    EXPECT_EQ(QFileInfo(archive).fileName(), QStringLiteral("library-recovery-") + manifest.archiveID);
    expectFreshDataFiles();
    EXPECT_FALSE(markerExists());
}

TEST_F(LibraryRecoveryTest, ArchivesEveryFileByteForByteAndKeepsTheBackups)
{
    fillFolder();
    const QString archive = start();
    for (auto it = original.begin(); it != original.end(); ++it)
        EXPECT_EQ(archived(archive, it.key()), it.value()) << it.key().toStdString();
    const auto manifest = manifestOf(archive);
    EXPECT_EQ(manifest.files.keys(), original.keys());
    EXPECT_EQ(manifest.files.value(QStringLiteral("settings.json")), sha256("{ damaged"));
    EXPECT_EQ(manifest.targets.value(QStringLiteral("data.json")), sha256(VelmoraJSON::encode(UserData::empty())));
    expectFreshDataFiles();
    EXPECT_EQ(dir.read(QStringLiteral("data.json.backup")), original.value(QStringLiteral("data.json.backup")));
    EXPECT_FALSE(markerExists());
}

TEST_F(LibraryRecoveryTest, OnlyTheFilesThatExistAreListed)
{
    dir.write(QStringLiteral("data.json"), "x");
    dir.write(QStringLiteral("data.json.backup"), "y");
    const QString archive = start();
    const auto manifest = manifestOf(archive);
    EXPECT_EQ(manifest.files.keys(), (QStringList{QStringLiteral("data.json"), QStringLiteral("data.json.backup")}));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), VelmoraJSON::encode(UserData::empty()));
    EXPECT_EQ(dir.read(QStringLiteral("data.json.backup")), "y");
}

TEST_F(LibraryRecoveryTest, AnEmptyFileIsArchivedAsPresent)
{
    dir.write(QStringLiteral("settings.json"), {});
    const QString archive = start();
    const auto manifest = manifestOf(archive);
    EXPECT_EQ(manifest.files.value(QStringLiteral("settings.json")),
        QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
    ASSERT_TRUE(QFileInfo::exists(QDir(archive).filePath(QStringLiteral("settings.json"))));
    EXPECT_EQ(QFileInfo(QDir(archive).filePath(QStringLiteral("settings.json"))).size(), 0);
}

TEST_F(LibraryRecoveryTest, EverythingWrittenIsPrivate)
{
    const mode_t previous = ::umask(0);
    fillFolder();
    interruptAfterMarker();
    EXPECT_EQ(modeOf(dir.file(LibraryRecovery::markerFileName())), 0600);
    const QString archive = start();
    ::umask(previous);
    EXPECT_EQ(modeOf(archive), 0700);
    for (const QString& name : QDir(archive).entryList(QDir::Files))
        EXPECT_EQ(modeOf(QDir(archive).filePath(name)), 0600) << name.toStdString();
    for (const QString& name : dataFiles)
        EXPECT_EQ(modeOf(dir.file(name)), 0600) << name.toStdString();
    writer.written.removeAll(dir.file(LibraryRecovery::markerFileName()));
    for (const QString& path : writer.written)
        EXPECT_EQ(modeOf(path), 0600) << path.toStdString();
}

TEST_F(LibraryRecoveryTest, AFileThatAppearsWhileCopyingStopsTheRunBeforeAnyReplacement)
{
    fillFolder();
    writer.fails = [this](const QString& path) {
        // "stats.json" is copied after "settings.json.backup" was found absent.
        if (path.endsWith(QStringLiteral("/stats.json")) && path.contains(QStringLiteral("library-recovery-")))
            dir.write(QStringLiteral("settings.json.backup"), "late");
        return false;
    };
    EXPECT_EQ(descriptionThrownBy([&] { start(); }),
        QStringLiteral("A saved file changed during recovery. No further files were replaced."));
    EXPECT_FALSE(markerExists());
    for (auto it = original.begin(); it != original.end(); ++it)
        EXPECT_EQ(dir.read(it.key()), it.value()) << it.key().toStdString();
}

TEST_F(LibraryRecoveryTest, AWriterThatStoresOtherBytesIsCaughtAtTheFirstFile)
{
    fillFolder();
    const auto corrupting = [](const QByteArray& bytes, const QString& path, FileIO::Access access) {
        FileIO::writeAtomically(bytes + ' ', path, access);
    };
    EXPECT_EQ(errorThrownBy<Failure>([&] { LibraryRecovery::start(dir.path(), corrupting); }),
        Failure(Failure::invalidArchive));
    EXPECT_FALSE(markerExists());
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), original.value(QStringLiteral("data.json")));
}

TEST_F(LibraryRecoveryTest, AMarkerWithoutItsArchiveIsRefusedAndChangesNothing)
{
    fillFolder();
    interruptAfterMarker();
    const QByteArray markerBytes = dir.read(LibraryRecovery::markerFileName());
    QDir(dir.file(archiveFolders().first())).removeRecursively();
    EXPECT_EQ(errorThrownBy<Failure>([&] { start(); }), Failure(Failure::invalidArchive));
    EXPECT_EQ(dir.read(LibraryRecovery::markerFileName()), markerBytes);
    for (auto it = original.begin(); it != original.end(); ++it)
        EXPECT_EQ(dir.read(it.key()), it.value()) << it.key().toStdString();
}

TEST_F(LibraryRecoveryTest, AnUnusableMarkerRecordIsRefused)
{
    fillFolder();
    interruptAfterMarker();
    const LibraryRecovery::Record good = marker();
    LibraryRecovery::Record versionTwo = good;
    versionTwo.version = 2;
    LibraryRecovery::Record foreignFile = good;
    foreignFile.files.insert(QStringLiteral("other.json"), sha256("x"));
    LibraryRecovery::Record missingTarget = good;
    missingTarget.targets.remove(QStringLiteral("stats.json"));
    for (const auto& record : {versionTwo, foreignFile, missingTarget}) {
        dir.write(LibraryRecovery::markerFileName(), VelmoraJSON::encode(record));
        EXPECT_EQ(errorThrownBy<Failure>([&] { start(); }), Failure(Failure::invalidArchive));
    }
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), original.value(QStringLiteral("data.json")));

    dir.write(LibraryRecovery::markerFileName(), "{\"version\": 1}");
    const auto missingKey = errorThrownBy<DecodingError>([&] { start(); });
    ASSERT_TRUE(missingKey);
    EXPECT_EQ(missingKey->kind(), DecodingError::Kind::keyNotFound);
    EXPECT_TRUE(markerExists());
}

TEST_F(LibraryRecoveryTest, AReformattedManifestIsRefused)
{
    fillFolder();
    interruptAfterMarker();
    const QString manifest = dir.file(archiveFolders().first() + QStringLiteral("/manifest.json"));
    const QByteArray compact
        = QJsonDocument::fromJson(dir.read(manifest.mid(dir.path().size() + 1))).toJson(QJsonDocument::Compact);
    FileIO::writeAtomically(compact, manifest, FileIO::Access::ownerOnly);
    EXPECT_EQ(errorThrownBy<Failure>([&] { start(); }), Failure(Failure::invalidArchive));
    EXPECT_TRUE(markerExists());
}

TEST_F(LibraryRecoveryTest, AnArchivedCopyEditedAfterTheRunBeganIsRefused)
{
    fillFolder();
    interruptAfterMarker();
    dir.write(archiveFolders().first() + QStringLiteral("/data.json"), "edited");
    EXPECT_EQ(errorThrownBy<Failure>([&] { start(); }), Failure(Failure::invalidArchive));
    dir.write(archiveFolders().first() + QStringLiteral("/data.json"), original.value(QStringLiteral("data.json")));
    dir.write(archiveFolders().first() + QStringLiteral("/fresh-stats.json"), "edited");
    EXPECT_EQ(errorThrownBy<Failure>([&] { start(); }), Failure(Failure::invalidArchive));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), original.value(QStringLiteral("data.json")));
}

TEST_F(LibraryRecoveryTest, AResumeAcceptsFilesThatAreAlreadyFresh)
{
    fillFolder();
    interruptAfterMarker();
    const QString expected = dir.file(QStringLiteral("library-recovery-") + marker().archiveID);
    dir.write(QStringLiteral("data.json"), freshContents().value(QStringLiteral("data.json")));
    dir.write(QStringLiteral("settings.json"), freshContents().value(QStringLiteral("settings.json")));
    writer.written.clear();
    EXPECT_EQ(start(), expected);
    EXPECT_EQ(writer.written.size(), 4);
    expectFreshDataFiles();
    EXPECT_FALSE(markerExists());
    EXPECT_EQ(archiveFolders().size(), 1);
}

TEST_F(LibraryRecoveryTest, AFileChangedAfterTheMarkerStopsTheResumeAndKeepsTheMarker)
{
    fillFolder();
    interruptAfterMarker();
    writer.failFilesNamed(QStringLiteral("settings.json"));
    EXPECT_TRUE(errorThrownBy<FileSystemError>([&] { start(); }));
    writer.fails = [](const QString&) { return false; };
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), freshContents().value(QStringLiteral("data.json")));

    dir.write(QStringLiteral("stats.json"), "{\"totalExpansions\": 8}");
    EXPECT_EQ(errorThrownBy<Failure>([&] { start(); }), Failure(Failure::changed));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), freshContents().value(QStringLiteral("data.json")));
    EXPECT_TRUE(markerExists());

    dir.write(QStringLiteral("stats.json"), original.value(QStringLiteral("stats.json")));
    start();
    expectFreshDataFiles();
    EXPECT_FALSE(markerExists());
}

TEST_F(LibraryRecoveryTest, AChangedBackupIsNeverAcceptedAsFresh)
{
    fillFolder();
    interruptAfterMarker();
    dir.write(QStringLiteral("data.json.backup"), freshContents().value(QStringLiteral("data.json")));
    EXPECT_EQ(errorThrownBy<Failure>([&] { start(); }), Failure(Failure::changed));
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), original.value(QStringLiteral("data.json")));
}

TEST_F(LibraryRecoveryTest, TwoFreshStartsKeepTwoArchives)
{
    fillFolder();
    const QString first = start();
    dir.write(QStringLiteral("data.json"), "second");
    const QString second = start();
    EXPECT_NE(first, second);
    EXPECT_EQ(archiveFolders().size(), 2);
    EXPECT_EQ(dir.read(QFileInfo(second).fileName() + QStringLiteral("/data.json")), "second");
    EXPECT_EQ(dir.read(QFileInfo(first).fileName() + QStringLiteral("/data.json")),
        original.value(QStringLiteral("data.json")));
}

TEST_F(LibraryRecoveryTest, KeptCopiesArePrivateLeaveTheFolderAsItWasAndNeverShareAName)
{
    fillFolder();
    const QString name = QStringLiteral("library-backup-2026-12-06-100000");
    const QString first = LibraryRecovery::keepCopies(dir.path(), name, writer.writer());
    const QString second = LibraryRecovery::keepCopies(dir.path(), name, writer.writer());

    EXPECT_EQ(QFileInfo(first).fileName(), name);
    EXPECT_EQ(QFileInfo(second).fileName(), name + QStringLiteral("-2"));
    EXPECT_EQ(modeOf(first), 0700);
    EXPECT_EQ(QDir(first).entryList(QDir::Files), QStringList(original.keys()));
    for (auto it = original.begin(); it != original.end(); ++it) {
        EXPECT_EQ(dir.read(it.key()), it.value()) << it.key().toStdString();
        EXPECT_EQ(archived(first, it.key()), it.value()) << it.key().toStdString();
        EXPECT_EQ(modeOf(QDir(first).filePath(it.key())), 0600) << it.key().toStdString();
    }
    EXPECT_FALSE(markerExists());
}

// A run stopped at any write, by a crash or a failing disk, is finished by the next call, and
// nothing the folder held is lost along the way.
TEST_F(LibraryRecoveryTest, ARunStoppedAtAnyWriteIsFinishedByTheNextCall)
{
    fillFolder();
    const int writesInAFullRun = [&] {
        TempDir probe;
        for (auto it = original.begin(); it != original.end(); ++it)
            probe.write(it.key(), it.value());
        StorageTest::ControlledWriter counter;
        LibraryRecovery::start(probe.path(), counter.writer());
        return int(counter.written.size());
    }();
    ASSERT_EQ(writesInAFullRun, 5 + 4 + 1 + 1 + 4);

    for (int stopAt = 0; stopAt < writesInAFullRun; ++stopAt) {
        TempDir folder;
        for (auto it = original.begin(); it != original.end(); ++it)
            folder.write(it.key(), it.value());
        int count = 0;
        StorageTest::ControlledWriter stopping;
        stopping.fails = [&](const QString&) { return count++ == stopAt; };
        EXPECT_ANY_THROW(LibraryRecovery::start(folder.path(), stopping.writer()));

        StorageTest::ControlledWriter healthy;
        const QString archive = LibraryRecovery::start(folder.path(), healthy.writer());
        for (auto it = original.begin(); it != original.end(); ++it)
            EXPECT_EQ(folder.read(QFileInfo(archive).fileName() + u'/' + it.key()), it.value()) << stopAt;
        const QMap<QString, QByteArray> fresh = freshContents();
        for (auto it = fresh.begin(); it != fresh.end(); ++it)
            EXPECT_EQ(folder.read(it.key()), it.value()) << stopAt;
        EXPECT_EQ(folder.read(QStringLiteral("data.json.backup")), original.value(QStringLiteral("data.json.backup")));
        EXPECT_FALSE(folder.exists(LibraryRecovery::markerFileName())) << stopAt;
    }
}

TEST(LibraryRecoveryFailure, DescribesEachCaseInOneSentence)
{
    EXPECT_EQ(Failure(Failure::interrupted).errorDescription(),
        QStringLiteral("The fresh-start operation was interrupted. Your original files are saved; continue it to "
                       "reopen Velmora."));
    EXPECT_EQ(Failure(Failure::invalidArchive).errorDescription(),
        QStringLiteral("The saved recovery copy could not be verified. No further files were replaced."));
    EXPECT_EQ(Failure(Failure::changed).errorDescription(),
        QStringLiteral("A saved file changed during recovery. No further files were replaced."));
}
