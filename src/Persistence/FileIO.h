#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// The few file operations the store is built on, with the guarantees it relies on: a file is
// either absent or fully read, and a write replaces a file whole or not at all, durably.
// Failures throw FileSystemError.
namespace FileIO {

// Who may read a file written through `write`.
enum class Access {
    standard, // 0666 less the process's umask, as any new file
    ownerOnly, // exactly 0600, from the moment the file exists
};

// The one way the store writes a file; tests pass writers that fail or misbehave.
using Writer = std::function<void(const QByteArray& bytes, const QString& path, Access access)>;

// The whole file, or nullopt when it does not exist (ENOENT). Every other failure, such as a
// missing permission or a folder in the file's place, is thrown: it never counts as absent.
std::optional<QByteArray> read(const QString& path);

// What tells one version of a file from another without reading it: where it lies, its size
// and when it and its contents last changed. Rewriting the file, in place or by renaming
// another over it, changes at least one of them.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds
    qint64 changed = 0; // nanoseconds
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// A regular file held open for reading pieces of it, from several threads at once. Failures
// only make it absent (size -1) or a piece unread: what is read from it is checked by its reader.
class PieceReader {
public:
    explicit PieceReader(const QString& path);
    ~PieceReader();
    PieceReader(const PieceReader&) = delete;
    PieceReader& operator=(const PieceReader&) = delete;

    // -1 when the file could not be opened or is not a regular file.
    qint64 size() const { return m_size; }
    // Whether all `size` bytes at `offset` were read into `into`.
    bool read(qint64 offset, qint64 size, char* into) const;
    // The identity of the file held open, now, whatever name it has by now.
    std::optional<FileIdentity> identity() const;

private:
    int m_fd = -1;
    qint64 m_size = -1;
};

// Writes a temporary file beside `path` with the access asked for, flushes it to disk, renames
// it over `path` and flushes the folder, so that after a crash `path` holds either its old or
// its new bytes and a completed write survives power loss.
void writeAtomically(const QByteArray& bytes, const QString& path, Access access);

// Replaces `path` by `bytes` as writeAtomically does, after making its current contents the
// file `previousPath` (replaced atomically as well). The current file is linked there rather
// than copied where the file system allows it; elsewhere `previousBytes`, which must be what
// `path` holds, are written. After a crash `previousPath` holds its old contents or the
// file's, and `path` its old contents or `bytes`; `path` is only replaced once `previousPath`
// holds its contents durably.
// `previousBytes` gives the file's current contents, read only where the file system cannot
// link.
using PreviousBytes = std::function<QByteArray()>;
void replaceKeepingPrevious(
    const QByteArray& bytes, const QString& path, const QString& previousPath, const PreviousBytes& previousBytes);

// How the store keeps a file's previous version while replacing it; tests pass their own.
using Replacer = std::function<void(
    const QByteArray& bytes, const QString& path, const QString& previousPath, const PreviousBytes& previousBytes)>;

// Nothing when there is no file at `path`.
std::optional<FileIdentity> identity(const QString& path);

// Creates the folder and any missing parents, each with mode 0700. An existing folder is left
// as it is.
void makeFolders(const QString& path);

// Whether anything exists at `path`.
bool exists(const QString& path);

// Removes one file and flushes its folder.
void remove(const QString& path);

// Removes what writes that never finished (the process was killed mid-write) left in the
// folder: temporary files named as writeAtomically names them, and nothing else. Only for a
// folder that no other process is writing to. Failures are ignored: the files only take room.
void removeTemporaryFiles(const QString& folder);

} // namespace FileIO
