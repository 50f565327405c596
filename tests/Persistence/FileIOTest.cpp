#include "Persistence/FileIO.h"
#include "ErrorCapture.h"
#include "Persistence/FileSystemError.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

int modeOf(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// Sets the umask for one test and puts the old one back.
class Umask {
public:
    explicit Umask(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

QStringList entries(const TempDir& dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

TEST(FileIORead, AnAbsentFileIsNoContentButAnEmptyFileIsContent)
{
    TempDir dir;
    EXPECT_FALSE(FileIO::read(dir.file(QStringLiteral("none.json"))));
    dir.write(QStringLiteral("empty.json"), {});
    const auto empty = FileIO::read(dir.file(QStringLiteral("empty.json")));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
}

TEST(FileIORead, ReadsLargeFilesWhole)
{
    TempDir dir;
    QByteArray big(300000, 'x');
    big[123456] = 'y';
    dir.write(QStringLiteral("big"), big);
    EXPECT_EQ(FileIO::read(dir.file(QStringLiteral("big"))), big);
}

TEST(FileIORead, OtherFailuresAreThrownWithTheSystemReason)
{
    TempDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    dir.write(QStringLiteral("plain"), "x");
    const auto isFolder = errorThrownBy<FileSystemError>([&] { FileIO::read(dir.file(QStringLiteral("folder"))); });
    ASSERT_TRUE(isFolder);
    EXPECT_EQ(isFolder->code(), EISDIR);
    EXPECT_EQ(isFolder->errorDescription(), QStringLiteral("The file “folder” could not be read: Is a directory."));
    const auto underFile = errorThrownBy<FileSystemError>([&] { FileIO::read(dir.file(QStringLiteral("plain/x"))); });
    ASSERT_TRUE(underFile);
    EXPECT_EQ(underFile->code(), ENOTDIR);
}

TEST(FileIOWrite, ReplacesTheFileAndLeavesNoTemporaryFileBehind)
{
    TempDir dir;
    dir.write(QStringLiteral("a.json"), "old");
    FileIO::writeAtomically("new", dir.file(QStringLiteral("a.json")), FileIO::Access::standard);
    EXPECT_EQ(dir.read(QStringLiteral("a.json")), "new");
    EXPECT_EQ(entries(dir), QStringList{QStringLiteral("a.json")});
}

TEST(FileIOWrite, StandardFilesFollowTheUmaskAndPrivateFilesAreExactly0600)
{
    TempDir dir;
    const Umask open(0);
    FileIO::writeAtomically("x", dir.file(QStringLiteral("shared")), FileIO::Access::standard);
    FileIO::writeAtomically("x", dir.file(QStringLiteral("private")), FileIO::Access::ownerOnly);
    EXPECT_EQ(modeOf(dir.file(QStringLiteral("shared"))), 0666);
    EXPECT_EQ(modeOf(dir.file(QStringLiteral("private"))), 0600);
}

TEST(FileIOWrite, APrivateFileReplacingAPublicOneBecomesPrivate)
{
    TempDir dir;
    const Umask open(0);
    FileIO::writeAtomically("public", dir.file(QStringLiteral("f")), FileIO::Access::standard);
    FileIO::writeAtomically("private", dir.file(QStringLiteral("f")), FileIO::Access::ownerOnly);
    EXPECT_EQ(modeOf(dir.file(QStringLiteral("f"))), 0600);
}

TEST(FileIOWrite, AFailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
    TempDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("taken"));
    dir.write(QStringLiteral("taken/inside"), "x");
    const auto error = errorThrownBy<FileSystemError>(
        [&] { FileIO::writeAtomically("new", dir.file(QStringLiteral("taken")), FileIO::Access::standard); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->operation(), FileSystemError::Operation::write);
    EXPECT_EQ(entries(dir), QStringList{QStringLiteral("taken")});
    EXPECT_TRUE(errorThrownBy<FileSystemError>(
        [&] { FileIO::writeAtomically("new", dir.file(QStringLiteral("missing/f")), FileIO::Access::standard); }));
}

TEST(FileIOFolders, CreatesMissingFoldersPrivatelyAndAcceptsExistingOnes)
{
    TempDir dir;
    const Umask open(0);
    FileIO::makeFolders(dir.file(QStringLiteral("a/b")));
    FileIO::makeFolders(dir.file(QStringLiteral("a/b")));
    EXPECT_EQ(modeOf(dir.file(QStringLiteral("a"))), 0700);
    EXPECT_EQ(modeOf(dir.file(QStringLiteral("a/b"))), 0700);
    dir.write(QStringLiteral("file"), "x");
    const auto error
        = errorThrownBy<FileSystemError>([&] { FileIO::makeFolders(dir.file(QStringLiteral("file/sub"))); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->operation(), FileSystemError::Operation::createFolder);
}

TEST(FileIORemove, RemovesAFileAndReportsAMissingOne)
{
    TempDir dir;
    dir.write(QStringLiteral("f"), "x");
    FileIO::remove(dir.file(QStringLiteral("f")));
    EXPECT_FALSE(FileIO::exists(dir.file(QStringLiteral("f"))));
    const auto error = errorThrownBy<FileSystemError>([&] { FileIO::remove(dir.file(QStringLiteral("f"))); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), ENOENT);
}

TEST(FileIOWrite, LargeFilesOfAnySizeAreWrittenExactly)
{
    TempDir dir;
    dir.write(QStringLiteral("data.json"), "old");
    // Past the size written around the page cache, ending inside a block; then a shorter one.
    for (const qsizetype size : {qsizetype(5) * 1024 * 1024 + 123, qsizetype(4) * 1024 * 1024 + 1}) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = char('a' + (i * 7 + i / 4096) % 26);
        FileIO::replaceKeepingPrevious(bytes, dir.file(QStringLiteral("data.json")),
            dir.file(QStringLiteral("data.json.backup")), [] { return QByteArray(); });
        EXPECT_EQ(dir.read(QStringLiteral("data.json")), bytes);
    }
    EXPECT_EQ(dir.read(QStringLiteral("data.json.backup")).size(), 5 * 1024 * 1024 + 123);
    EXPECT_EQ(entries(dir), (QStringList{QStringLiteral("data.json"), QStringLiteral("data.json.backup")}));
}

TEST(FileIOReplace, KeepsThePreviousVersionApartFromTheNewFile)
{
    TempDir dir;
    dir.write(QStringLiteral("data.json"), "old");
    dir.write(QStringLiteral("data.json.backup"), "older");
    FileIO::replaceKeepingPrevious(
        "new", dir.file(QStringLiteral("data.json")), dir.file(QStringLiteral("data.json.backup")),
        [] { return QByteArray("old"); });
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), "new");
    EXPECT_EQ(dir.read(QStringLiteral("data.json.backup")), "old");
    EXPECT_EQ(entries(dir), (QStringList{QStringLiteral("data.json"), QStringLiteral("data.json.backup")}));

    // Another program rewriting the file in place leaves the previous version alone.
    QFile file(dir.file(QStringLiteral("data.json")));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.write("NEW");
    file.close();
    EXPECT_EQ(dir.read(QStringLiteral("data.json.backup")), "old");
}

TEST(FileIOReplace, AFailureLeavesTheFileAndNoTemporaryFile)
{
    TempDir dir;
    dir.write(QStringLiteral("data.json"), "old");
    QDir(dir.path()).mkdir(QStringLiteral("data.json.backup"));
    const auto error = errorThrownBy<FileSystemError>([&] {
        FileIO::replaceKeepingPrevious(
            "new", dir.file(QStringLiteral("data.json")), dir.file(QStringLiteral("data.json.backup")),
        [] { return QByteArray("old"); });
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->operation(), FileSystemError::Operation::write);
    EXPECT_EQ(dir.read(QStringLiteral("data.json")), "old");
    EXPECT_EQ(entries(dir), (QStringList{QStringLiteral("data.json"), QStringLiteral("data.json.backup")}));
}
