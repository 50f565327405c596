#include "Persistence/FileIO.h"

#include "Persistence/FileSystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace FileIO {

namespace {

    using Operation = FileSystemError::Operation;

    QByteArray nativePath(const QString& path)
    {
        return QFile::encodeName(path);
    }

    [[noreturn]] void fail(Operation operation, const QString& path, int code)
    {
        throw FileSystemError(operation, path, code);
    }

    // Closes a descriptor on every way out of a scope.
    class Descriptor {
    public:
        explicit Descriptor(int fd)
            : m_fd(fd)
        {
        }
        ~Descriptor()
        {
            if (m_fd >= 0)
                ::close(m_fd);
        }
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;

        int get() const { return m_fd; }
        // Closes now, so that a failing close (a deferred write error) is seen.
        int close()
        {
            const int result = ::close(m_fd);
            m_fd = -1;
            return result;
        }

    private:
        int m_fd;
    };

    // A rename or an unlink is only durable once the folder that holds the name is on disk.
    void syncFolder(const QString& folder, Operation operation)
    {
        const Descriptor fd(::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fd.get() < 0)
            fail(operation, folder, errno);
        if (::fsync(fd.get()) != 0)
            fail(operation, folder, errno);
    }

    void writeAll(int fd, const QByteArray& bytes, const QString& path)
    {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(fd, data, size_t(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                fail(Operation::write, path, errno);
            }
            data += written;
            left -= written;
        }
    }

    // Files this large are written past the page cache. Written through it, they first fill as
    // many of its pages; where free memory goes back to a host (a virtual machine with free page
    // reporting) each such page costs a fault on the host when touched again, and some saves
    // of a large library waited a quarter of a second in the write alone. Written directly, the
    // bytes go from one reused buffer to the disk, in about the time the fsync took for them.
    constexpr qsizetype directWriteSize = qsizetype(4) * 1024 * 1024;
    constexpr size_t directBlock = 4096;
    constexpr size_t directPiece = size_t(1024) * 1024;

    // Writes `bytes` to `fd`, opened with O_DIRECT, a piece at a time through an aligned buffer;
    // the last block is padded and the file cut back to the bytes' size. False, with nothing
    // thrown, when the file system wants other alignments than these.
    bool writeAllDirect(int fd, const QByteArray& bytes, const QString& path)
    {
        struct Free {
            void operator()(char* p) const { std::free(p); }
        };
        const std::unique_ptr<char, Free> buffer(static_cast<char*>(std::aligned_alloc(directBlock, directPiece)));
        if (!buffer)
            fail(Operation::write, path, ENOMEM);
        for (qsizetype offset = 0; offset < bytes.size();) {
            const size_t piece = size_t(std::min(qsizetype(directPiece), bytes.size() - offset));
            const size_t padded = (piece + directBlock - 1) / directBlock * directBlock;
            std::memcpy(buffer.get(), bytes.constData() + offset, piece);
            std::memset(buffer.get() + piece, 0, padded - piece);
            size_t done = 0;
            while (done < padded) {
                const ssize_t written = ::pwrite(fd, buffer.get() + done, padded - done, off_t(offset) + off_t(done));
                if (written < 0) {
                    if (errno == EINTR)
                        continue;
                    if (errno == EINVAL)
                        return false;
                    fail(Operation::write, path, errno);
                }
                done += size_t(written);
            }
            offset += qsizetype(piece);
        }
        if (::ftruncate(fd, off_t(bytes.size())) != 0)
            fail(Operation::write, path, errno);
        return true;
    }

    const QString temporaryInfix = QStringLiteral(".tmp-");

    QString temporaryName(const QString& path)
    {
        const QFileInfo info(path);
        const quint64 token = QRandomGenerator::system()->generate64();
        return info.dir().filePath(u'.' + info.fileName() + temporaryInfix + QString::number(token, 16));
    }

    bool isTemporaryName(const QString& name)
    {
        const qsizetype infix = name.lastIndexOf(temporaryInfix);
        if (!name.startsWith(u'.') || infix < 2)
            return false;
        const QStringView token = QStringView(name).sliced(infix + temporaryInfix.size());
        return !token.isEmpty() && token.size() <= 16
            && std::all_of(token.begin(), token.end(), [](QChar c) { return c.isDigit() || (c >= u'a' && c <= u'f'); });
    }

    FileIdentity identityOf(const struct stat& info)
    {
        const auto nanoseconds
            = [](const timespec& time) { return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec; };
        return FileIdentity{quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size), nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim)};
    }

} // namespace

std::optional<QByteArray> read(const QString& path)
{
    // Without O_NONBLOCK, opening a FIFO put where a data file belongs would wait forever
    // for a writer; only a regular file is read at all.
    const Descriptor fd(::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        fail(Operation::read, path, errno);
    }
    struct stat info { };
    if (::fstat(fd.get(), &info) != 0)
        fail(Operation::read, path, errno);
    if (!S_ISREG(info.st_mode))
        fail(Operation::read, path, S_ISDIR(info.st_mode) ? EISDIR : FileSystemError::notRegularFile);
    // Read straight into the result; one spare byte shows whether the file grew meanwhile.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(Operation::read, path, errno);
        }
        if (got == 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

PieceReader::PieceReader(const QString& path)
    : m_fd(::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
{
    struct stat info { };
    if (m_fd >= 0 && ::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode))
        m_size = qint64(info.st_size);
}

PieceReader::~PieceReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<FileIdentity> PieceReader::identity() const
{
    struct stat info { };
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0)
        return std::nullopt;
    return identityOf(info);
}

bool PieceReader::read(qint64 offset, qint64 size, char* into) const
{
    if (m_size < 0 || offset < 0 || size < 0 || offset + size > m_size)
        return false;
    while (size > 0) {
        const ssize_t got = ::pread(m_fd, into, size_t(size), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        offset += got;
        size -= got;
    }
    return true;
}

namespace {

    // Writes `bytes` to a new temporary file beside `path` and flushes it to disk; returns its
    // name. Nothing is left behind when this fails.
    QString writeTemporary(const QByteArray& bytes, const QString& path, Access access)
    {
        QString temporary;
        int raw = -1;
        bool direct = bytes.size() >= directWriteSize;
        // The random name makes a collision with a leftover of an earlier crash unlikely;
        // O_EXCL makes one harmless.
        for (int attempt = 0; attempt < 8 && raw < 0; ++attempt) {
            temporary = temporaryName(path);
            const mode_t mode = access == Access::ownerOnly ? 0600 : 0666;
            const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | (direct ? O_DIRECT : 0);
            raw = ::open(nativePath(temporary).constData(), flags, mode);
            if (raw < 0 && direct && errno == EINVAL) {
                // A file system without direct writes has made the file all the same.
                ::unlink(nativePath(temporary).constData());
                direct = false;
                continue;
            }
            if (raw < 0 && errno != EEXIST)
                fail(Operation::write, path, errno);
        }
        if (raw < 0)
            fail(Operation::write, path, EEXIST);

        Descriptor fd(raw);
        try {
            // The umask may only take bits away; a private file must be exactly 0600 before it
            // holds a single byte.
            if (access == Access::ownerOnly && ::fchmod(fd.get(), 0600) != 0)
                fail(Operation::write, path, errno);
            if (direct && !writeAllDirect(fd.get(), bytes, path)) {
                // Written through the cache from the start instead (the direct writes gave their
                // own offsets, so the descriptor's is still at 0).
                const int flags = ::fcntl(fd.get(), F_GETFL);
                if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_DIRECT) != 0 || ::ftruncate(fd.get(), 0) != 0)
                    fail(Operation::write, path, errno);
                direct = false;
            }
            if (!direct)
                writeAll(fd.get(), bytes, path);
            if (::fsync(fd.get()) != 0)
                fail(Operation::write, path, errno);
            if (fd.close() != 0)
                fail(Operation::write, path, errno);
        } catch (...) {
            ::unlink(nativePath(temporary).constData());
            throw;
        }
        return temporary;
    }

    void renameOver(const QString& temporary, const QString& path)
    {
        if (::rename(nativePath(temporary).constData(), nativePath(path).constData()) != 0) {
            const int code = errno;
            ::unlink(nativePath(temporary).constData());
            fail(Operation::write, path, code);
        }
    }

    // Errors of link() that say only that this file system cannot link, not that it failed.
    bool linkUnsupported(int code)
    {
        return code == EPERM || code == EXDEV || code == EMLINK || code == ENOSYS || code == EOPNOTSUPP;
    }

} // namespace

void writeAtomically(const QByteArray& bytes, const QString& path, Access access)
{
    renameOver(writeTemporary(bytes, path, access), path);
    syncFolder(QFileInfo(path).absolutePath(), Operation::write);
}

void replaceKeepingPrevious(
    const QByteArray& bytes, const QString& path, const QString& previousPath, const PreviousBytes& previousBytes)
{
    const QString replacement = writeTemporary(bytes, path, Access::ownerOnly);
    const QString folder = QFileInfo(path).absolutePath();
    // The file's own disk blocks become the previous version: nothing is copied, and once the
    // file's name moves to the replacement no other name shares them, so a later in-place
    // edit of the file cannot reach the previous version.
    const QString link = temporaryName(previousPath);
    // Renaming over the version before frees its blocks, which for a file of tens of megabytes
    // holds up the rename about as long as writing it did. Held by a descriptor, it is freed
    // when this returns, once the new file is in place; its name goes at the same moment.
    const Descriptor replacedPrevious(::open(nativePath(previousPath).constData(), O_PATH | O_CLOEXEC));
    if (::link(nativePath(path).constData(), nativePath(link).constData()) == 0) {
        try {
            renameOver(link, previousPath);
            syncFolder(QFileInfo(previousPath).absolutePath(), Operation::write);
        } catch (...) {
            ::unlink(nativePath(replacement).constData());
            throw;
        }
    } else {
        const int code = errno;
        try {
            if (!linkUnsupported(code))
                fail(Operation::write, previousPath, code);
            writeAtomically(previousBytes(), previousPath, Access::ownerOnly);
        } catch (...) {
            ::unlink(nativePath(replacement).constData());
            throw;
        }
    }
    renameOver(replacement, path);
    syncFolder(folder, Operation::write);
}

std::optional<FileIdentity> identity(const QString& path)
{
    struct stat info { };
    if (::stat(nativePath(path).constData(), &info) != 0)
        return std::nullopt;
    return identityOf(info);
}

void makeFolders(const QString& path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QStringList parts = absolute.split(u'/', Qt::SkipEmptyParts);
    QString current;
    for (const QString& part : parts) {
        const QString parent = current.isEmpty() ? QStringLiteral("/") : current;
        current += u'/' + part;
        const QByteArray native = nativePath(current);
        if (::mkdir(native.constData(), 0700) == 0) {
            syncFolder(parent, Operation::createFolder);
            continue;
        }
        const int code = errno;
        struct stat info { };
        if (code == EEXIST && ::stat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode))
            continue;
        fail(Operation::createFolder, current, code == EEXIST ? ENOTDIR : code);
    }
}

bool exists(const QString& path)
{
    struct stat info { };
    return ::lstat(nativePath(path).constData(), &info) == 0;
}

void remove(const QString& path)
{
    if (::unlink(nativePath(path).constData()) != 0)
        fail(Operation::remove, path, errno);
    syncFolder(QFileInfo(path).absolutePath(), Operation::remove);
}

void removeTemporaryFiles(const QString& folder)
{
    const QStringList names = QDir(folder).entryList(
        {u'.' + QStringLiteral("*") + temporaryInfix + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (isTemporaryName(name))
            ::unlink(nativePath(QDir(folder).filePath(name)).constData());
    }
}

} // namespace FileIO
