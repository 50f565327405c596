#include "Persistence/SafeJSONFile.h"
#include "ErrorCapture.h"
#include "Persistence/FileSystemError.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A small record, so that these tests exercise the file and not any one model's rules.
struct Note {
    QString text;
    double weight = 1;

    static Note fromJson(const JsonReader& reader)
    {
        return {reader.required<QString>(QStringLiteral("text")), reader.value<double>(QStringLiteral("weight"), 1)};
    }
    QJsonValue toJson() const
    {
        return QJsonObject{{QStringLiteral("text"), text}, {QStringLiteral("weight"), weight}};
    }
};

void requireText(const Note& note)
{
    if (note.text.isEmpty())
        throw DecodingError::dataCorrupted(QStringLiteral("A note needs text."));
}

QByteArray bytesOf(const Note& note)
{
    return VelmoraJSON::encode(note);
}

using Failure = SafeJSONFileFailure;

template <class Operation> int errnoThrownBy(Operation&& operation)
{
    const auto error = errorThrownBy<FileSystemError>(std::forward<Operation>(operation));
    return error ? error->code() : 0;
}

class SafeJSONFileTest : public ::testing::Test {
protected:
    SafeJSONFile<Note> makeFile(const QString& path)
    {
        return SafeJSONFile<Note>(
            path, [] { return Note{QStringLiteral("default")}; },
            [this](const QByteArray& bytes, const QString& target, FileIO::Access access) {
                const QString name = QFileInfo(target).fileName();
                if (name == failingName)
                    throw FileSystemError(FileSystemError::Operation::write, target, EIO);
                written << name;
                FileIO::writeAtomically(bytes, target, access);
            },
            requireText);
    }

    QStringList recoveryCopies() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("note.json.recovery-*")}, QDir::Files | QDir::Hidden);
    }

    TempDir dir;
    QStringList written;
    QString failingName;
    SafeJSONFile<Note> file = makeFile(dir.file(QStringLiteral("note.json")));
};

} // namespace

TEST_F(SafeJSONFileTest, LoadingAnAbsentFileGivesTheDefaultAndTheFirstSaveCreatesFoldersWithoutBackup)
{
    SafeJSONFile<Note> nested = makeFile(dir.file(QStringLiteral("a/b/note.json")));
    EXPECT_EQ(nested.load().text, QStringLiteral("default"));
    nested.save({QStringLiteral("first")});
    EXPECT_EQ(dir.read(QStringLiteral("a/b/note.json")), bytesOf({QStringLiteral("first")}));
    EXPECT_FALSE(dir.exists(QStringLiteral("a/b/note.json.backup")));
    EXPECT_EQ(written, QStringList{QStringLiteral("note.json")});
}

TEST_F(SafeJSONFileTest, SavingTheSameValueTwiceWritesOnceAndKeepsTheEarlierBackup)
{
    dir.write(QStringLiteral("note.json"), bytesOf({QStringLiteral("old")}));
    file.load();
    file.save({QStringLiteral("new")});
    file.save({QStringLiteral("new")});
    EXPECT_EQ(written, (QStringList{QStringLiteral("note.json.backup"), QStringLiteral("note.json")}));
    EXPECT_EQ(dir.read(QStringLiteral("note.json.backup")), bytesOf({QStringLiteral("old")}));
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), bytesOf({QStringLiteral("new")}));
}

TEST_F(SafeJSONFileTest, SavingWhatWasLoadedWritesNothing)
{
    dir.write(QStringLiteral("note.json"), bytesOf({QStringLiteral("same")}));
    file.save(file.load());
    EXPECT_TRUE(written.isEmpty());
    EXPECT_FALSE(dir.exists(QStringLiteral("note.json.backup")));
}

TEST_F(SafeJSONFileTest, ASecondChangeMovesTheBackupForward)
{
    file.load();
    file.save({QStringLiteral("one")});
    file.save({QStringLiteral("two")});
    file.save({QStringLiteral("three")});
    EXPECT_EQ(dir.read(QStringLiteral("note.json.backup")), bytesOf({QStringLiteral("two")}));
    EXPECT_EQ(file.verifiedValue().text, QStringLiteral("three"));
}

TEST_F(SafeJSONFileTest, AFileDeletedAfterLoadingIsReportedAsChanged)
{
    dir.write(QStringLiteral("note.json"), bytesOf({QStringLiteral("kept")}));
    file.load();
    QFile::remove(dir.file(QStringLiteral("note.json")));
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.save({QStringLiteral("x")}); }), Failure(Failure::changedOnDisk));
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.verifiedValue(); }), Failure(Failure::changedOnDisk));
    EXPECT_FALSE(dir.exists(QStringLiteral("note.json")));
    EXPECT_TRUE(written.isEmpty());
}

TEST_F(SafeJSONFileTest, AnyByteChangedOutsideIsReportedAndNeverOverwritten)
{
    const QByteArray original = bytesOf({QStringLiteral("kept")});
    const QByteArray oneByte = QByteArray(original).replace("kept", "kepT");
    const QByteArray whiteSpace = original + '\n';
    for (const QByteArray& outside : {oneByte, whiteSpace}) {
        dir.write(QStringLiteral("note.json"), original);
        file.load();
        dir.write(QStringLiteral("note.json"), outside);
        EXPECT_EQ(
            errorThrownBy<Failure>([&] { file.save({QStringLiteral("mine")}); }), Failure(Failure::changedOnDisk));
        EXPECT_EQ(errorThrownBy<Failure>([&] { file.verifiedValue(); }), Failure(Failure::changedOnDisk));
        EXPECT_EQ(dir.read(QStringLiteral("note.json")), outside);
    }
    EXPECT_TRUE(written.isEmpty());
}

TEST_F(SafeJSONFileTest, ALargeFileIsToldApartFromOneOfTheSameSizeWithOneByteChanged)
{
    // Large enough for its digest to be taken while it is decoded.
    const Note large{QStringLiteral("kept ") + QString(3 * 1024 * 1024, QLatin1Char('x'))};
    const QByteArray original = bytesOf(large);
    dir.write(QStringLiteral("note.json"), original);
    const Note loaded = file.load();
    file.save(loaded);
    EXPECT_TRUE(written.isEmpty());
    EXPECT_EQ(file.verifiedValue().text, large.text);

    const QByteArray outside = QByteArray(original).replace("kept", "kepT");
    ASSERT_EQ(outside.size(), original.size());
    dir.write(QStringLiteral("note.json"), outside);
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.save({QStringLiteral("mine")}); }), Failure(Failure::changedOnDisk));
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.verifiedValue(); }), Failure(Failure::changedOnDisk));
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), outside);
    EXPECT_TRUE(written.isEmpty());
}

TEST_F(SafeJSONFileTest, WithTheStoresOwnFileFunctionsAFileRewrittenAfterASaveIsStillReportedAsChanged)
{
    // As the store writes: a save after its own write does not read the file again.
    const QString path = dir.file(QStringLiteral("stored.json"));
    SafeJSONFile<Note> stored(
        path, [] { return Note{QStringLiteral("default")}; }, FileIO::writeAtomically, requireText, FileIO::read,
        FileIO::replaceKeepingPrevious);
    stored.load();
    stored.save({QStringLiteral("first")});
    stored.save({QStringLiteral("second")});
    EXPECT_EQ(dir.read(QStringLiteral("stored.json")), bytesOf({QStringLiteral("second")}));
    EXPECT_EQ(dir.read(QStringLiteral("stored.json.backup")), bytesOf({QStringLiteral("first")}));

    // Rewritten in place with as many bytes, and replaced by another file.
    const QByteArray inPlace = bytesOf({QStringLiteral("secont")});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write(inPlace);
    file.close();
    EXPECT_EQ(errorThrownBy<Failure>([&] { stored.save({QStringLiteral("third")}); }), Failure(Failure::changedOnDisk));
    EXPECT_EQ(dir.read(QStringLiteral("stored.json")), inPlace);

    stored.load();
    const QByteArray replaced = bytesOf({QStringLiteral("other")});
    FileIO::writeAtomically(replaced, path, FileIO::Access::ownerOnly);
    EXPECT_EQ(errorThrownBy<Failure>([&] { stored.save({QStringLiteral("third")}); }), Failure(Failure::changedOnDisk));
    EXPECT_EQ(dir.read(QStringLiteral("stored.json")), replaced);
}

TEST_F(SafeJSONFileTest, AFileOrBackupThatAppearsAfterAnEmptyLoadIsReportedAsChanged)
{
    for (const QString& name : {QStringLiteral("note.json"), QStringLiteral("note.json.backup")}) {
        QFile::remove(dir.file(QStringLiteral("note.json")));
        QFile::remove(dir.file(QStringLiteral("note.json.backup")));
        EXPECT_EQ(file.load().text, QStringLiteral("default"));
        EXPECT_EQ(file.verifiedValue().text, QStringLiteral("default"));
        dir.write(name, bytesOf({QStringLiteral("appeared")}));
        EXPECT_EQ(errorThrownBy<Failure>([&] { file.save({QStringLiteral("mine")}); }), Failure(Failure::changedOnDisk))
            << name.toStdString();
        EXPECT_EQ(errorThrownBy<Failure>([&] { file.verifiedValue(); }), Failure(Failure::changedOnDisk))
            << name.toStdString();
    }
    EXPECT_TRUE(written.isEmpty());
}

TEST_F(SafeJSONFileTest, AMissingFileWithABackupMustBeRestoredBeforeSaving)
{
    dir.write(QStringLiteral("note.json.backup"), bytesOf({QStringLiteral("backed up")}));
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.load(); }), Failure(Failure::missingWithBackup));
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.save({QStringLiteral("default")}); }), Failure(Failure::notLoaded));
    EXPECT_FALSE(dir.exists(QStringLiteral("note.json")));

    EXPECT_EQ(file.restoreBackup().text, QStringLiteral("backed up"));
    EXPECT_TRUE(recoveryCopies().isEmpty());
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), bytesOf({QStringLiteral("backed up")}));
    file.save({QStringLiteral("after")});
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), bytesOf({QStringLiteral("after")}));
}

TEST_F(SafeJSONFileTest, AFileThatFailsValidationCannotBeLoadedOrSavedOver)
{
    const QByteArray invalid = bytesOf({QString()});
    dir.write(QStringLiteral("note.json"), invalid);
    EXPECT_EQ(descriptionThrownBy([&] { file.load(); }), QStringLiteral("A note needs text."));
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.save({QStringLiteral("default")}); }), Failure(Failure::notLoaded));
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.verifiedValue(); }), Failure(Failure::notLoaded));
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), invalid);
}

TEST_F(SafeJSONFileTest, DamagedJSONIsRefusedWithTheDecoderError)
{
    dir.write(QStringLiteral("note.json"), "{\"text\": ");
    EXPECT_TRUE(errorThrownBy<DecodingError>([&] { file.load(); }));
    dir.write(QStringLiteral("note.json"), "{\"text\": 5}");
    const auto mismatch = errorThrownBy<DecodingError>([&] { file.load(); });
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->codingPath(), QStringLiteral("text"));
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.save({QStringLiteral("x")}); }), Failure(Failure::notLoaded));
}

TEST_F(SafeJSONFileTest, AnEmptyFileIsSaidToBeEmptyAndAByteOrderMarkIsIgnored)
{
    dir.write(QStringLiteral("note.json"), "");
    EXPECT_EQ(descriptionThrownBy([&] { file.load(); }), QStringLiteral("The file is empty."));
    dir.write(QStringLiteral("note.json"), "\xEF\xBB\xBF" + bytesOf({QStringLiteral("marked")}));
    EXPECT_EQ(file.load().text, QStringLiteral("marked"));
}

TEST_F(SafeJSONFileTest, AValueThatFailsValidationOrCannotBeEncodedIsNeverWritten)
{
    file.load();
    EXPECT_EQ(descriptionThrownBy([&] { file.save({QString()}); }), QStringLiteral("A note needs text."));
    EXPECT_TRUE(errorThrownBy<EncodingError>([&] { file.save({QStringLiteral("x"), std::nan("")}); }));
    EXPECT_TRUE(written.isEmpty());
    EXPECT_FALSE(dir.exists(QStringLiteral("note.json")));
    file.save({QStringLiteral("fine")});
    EXPECT_EQ(file.verifiedValue().text, QStringLiteral("fine"));
}

TEST_F(SafeJSONFileTest, RestoringKeepsTheDamagedFileAsARecoveryCopyAndTheBackupInPlace)
{
    dir.write(QStringLiteral("note.json"), "not json");
    dir.write(QStringLiteral("note.json.backup"), bytesOf({QStringLiteral("good")}));
    EXPECT_ANY_THROW(file.load());
    EXPECT_EQ(file.restoreBackup().text, QStringLiteral("good"));

    const QStringList copies = recoveryCopies();
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(Uuid::parse(copies.first().mid(QStringLiteral("note.json.recovery-").size())));
    EXPECT_EQ(copies.first().right(36), copies.first().right(36).toUpper());
    EXPECT_EQ(dir.read(copies.first()), "not json");
    // Like the data folder, the copy is the user's alone.
    EXPECT_EQ(QFileInfo(dir.file(copies.first())).permissions(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), bytesOf({QStringLiteral("good")}));
    EXPECT_EQ(dir.read(QStringLiteral("note.json.backup")), bytesOf({QStringLiteral("good")}));
    EXPECT_EQ(file.verifiedValue().text, QStringLiteral("good"));
}

TEST_F(SafeJSONFileTest, RestoringWithoutAUsableBackupTouchesNothing)
{
    dir.write(QStringLiteral("note.json"), "damaged");
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.restoreBackup(); }), Failure(Failure::noBackup));
    dir.write(QStringLiteral("note.json.backup"), bytesOf({QString()}));
    EXPECT_EQ(descriptionThrownBy([&] { file.restoreBackup(); }), QStringLiteral("A note needs text."));
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), "damaged");
    EXPECT_TRUE(recoveryCopies().isEmpty());
    EXPECT_TRUE(written.isEmpty());
}

TEST_F(SafeJSONFileTest, AFailedBackupWriteLeavesTheFileAndTheBaselineAsTheyWere)
{
    dir.write(QStringLiteral("note.json"), bytesOf({QStringLiteral("old")}));
    file.load();
    failingName = QStringLiteral("note.json.backup");
    EXPECT_TRUE(errorThrownBy<FileSystemError>([&] { file.save({QStringLiteral("new")}); }));
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), bytesOf({QStringLiteral("old")}));
    failingName.clear();
    file.save({QStringLiteral("new")});
    EXPECT_EQ(dir.read(QStringLiteral("note.json")), bytesOf({QStringLiteral("new")}));
}

TEST_F(SafeJSONFileTest, AFailedFileWriteKeepsTheNewBackupAndTheOldBaseline)
{
    dir.write(QStringLiteral("note.json"), bytesOf({QStringLiteral("old")}));
    file.load();
    failingName = QStringLiteral("note.json");
    EXPECT_TRUE(errorThrownBy<FileSystemError>([&] { file.save({QStringLiteral("new")}); }));
    EXPECT_EQ(dir.read(QStringLiteral("note.json.backup")), bytesOf({QStringLiteral("old")}));
    EXPECT_EQ(file.verifiedValue().text, QStringLiteral("old"));
}

TEST_F(SafeJSONFileTest, AnUnreadableFileIsPassedOnAndNeverTreatedAsAbsent)
{
    // A folder in the file's place cannot be read even by root, unlike a file without permission.
    QDir(dir.path()).mkdir(QStringLiteral("note.json"));
    EXPECT_EQ(errnoThrownBy([&] { file.load(); }), EISDIR);
    EXPECT_EQ(errorThrownBy<Failure>([&] { file.save({QStringLiteral("x")}); }), Failure(Failure::notLoaded));
    dir.write(QStringLiteral("note.json.backup"), bytesOf({QStringLiteral("good")}));
    EXPECT_EQ(errnoThrownBy([&] { file.restoreBackup(); }), EISDIR);
    QFile::remove(dir.file(QStringLiteral("note.json.backup")));

    QDir(dir.path()).rmdir(QStringLiteral("note.json"));
    QDir(dir.path()).mkdir(QStringLiteral("note.json.backup"));
    EXPECT_EQ(errnoThrownBy([&] { file.load(); }), EISDIR);
    EXPECT_TRUE(written.isEmpty());
}

TEST_F(SafeJSONFileTest, AReadErrorAfterLoadingIsPassedOnByVerificationAndSaving)
{
    dir.write(QStringLiteral("note.json"), bytesOf({QStringLiteral("kept")}));
    file.load();
    QFile::remove(dir.file(QStringLiteral("note.json")));
    QDir(dir.path()).mkdir(QStringLiteral("note.json"));
    EXPECT_EQ(errnoThrownBy([&] { file.verifiedValue(); }), EISDIR);
    EXPECT_EQ(errnoThrownBy([&] { file.save({QStringLiteral("x")}); }), EISDIR);
}

TEST(SafeJSONFileFailure, DescribesEachRefusalInOneSentence)
{
    EXPECT_EQ(Failure(Failure::notLoaded).errorDescription(),
        QStringLiteral("Read this file successfully before saving changes."));
    EXPECT_EQ(Failure(Failure::changedOnDisk).errorDescription(),
        QStringLiteral("This file changed outside Velmora. Retry to load its latest contents."));
    EXPECT_EQ(Failure(Failure::missingWithBackup).errorDescription(),
        QStringLiteral("The original file is missing, but a backup exists. Restore it before continuing."));
    EXPECT_EQ(Failure(Failure::noBackup).errorDescription(), QStringLiteral("No backup is available for this file."));
}
