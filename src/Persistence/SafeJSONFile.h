#pragma once

#include "Models/VelmoraJSON.h"
#include "Persistence/FileIO.h"
#include "Utilities/Uuid.h"
#include "Utilities/VelmoraError.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <utility>

// Why a safe file refused an operation. Shared by every SafeJSONFile<Value>, so that callers
// can catch it without naming the record type.
class SafeJSONFileFailure : public VelmoraError {
public:
    enum Reason { notLoaded, changedOnDisk, missingWithBackup, noBackup };

    explicit SafeJSONFileFailure(Reason reason)
        : m_reason(reason)
    {
    }
    Reason reason() const { return m_reason; }
    QString errorDescription() const override;

    friend bool operator==(const SafeJSONFileFailure& a, const SafeJSONFileFailure& b)
    {
        return a.m_reason == b.m_reason;
    }

private:
    Reason m_reason;
};

// What a safe file remembers of the bytes it last read or wrote: enough to tell whether a file
// still holds them, without keeping a large library's bytes in memory for it. It guards against
// other programs' edits, not against forgery, so a 128-bit XXH3 serves: no edit keeps it by
// chance, and it is about ten times as fast as the cryptographic digests, which matters for a
// save of tens of megabytes that is fingerprinted as it is written and again as it reads back.
struct FileFingerprint {
    qsizetype size = 0;
    QByteArray digest;

    static FileFingerprint of(const QByteArray& bytes);
    friend bool operator==(const FileFingerprint&, const FileFingerprint&) = default;
};

// One record kept in one JSON file. It remembers the exact bytes it last read or wrote (by
// their fingerprint) and refuses to write over, or hand out, a file that no longer holds
// them, so a change made by another program is never lost silently. Before replacing the file
// it keeps the previous version as "<name>.backup"; `restoreBackup()` puts that back and
// first saves the damaged file as "<name>.recovery-<UUID>". Nothing that fails validation,
// or does not read back as itself, is ever written.
//
// Errors: SafeJSONFileFailure, or the unchanged error of the read or write function, of the
// JSON coder or of the validation step.
template <class Value> class SafeJSONFile {
public:
    using Failure = SafeJSONFileFailure;
    using MakeDefault = std::function<Value()>;
    using Validate = std::function<void(const Value&)>;
    using Read = std::function<std::optional<QByteArray>(const QString&)>;

    // Without `replace`, the previous version is written through `write` before the file is.
    SafeJSONFile(QString path, MakeDefault makeDefault, FileIO::Writer write, Validate validate = {},
        Read read = FileIO::read, FileIO::Replacer replace = {})
        : m_path(std::move(path))
        , m_makeDefault(std::move(makeDefault))
        , m_validate(std::move(validate))
        , m_read(std::move(read))
        , m_write(std::move(write))
        , m_replace(std::move(replace))
    {
    }

    // Replaces the plain encoding of saves by one that may vouch for its bytes, which then skip
    // the read-back decode. It must give the bytes VelmoraJSON::encode gives.
    using Encode = std::function<VelmoraJSON::Encoded(const Value&)>;
    void setEncoder(Encode encode) { m_encode = std::move(encode); }
    // Replaces the plain decoding and validation of what is read by one that gives the same
    // value and errors (a quicker one for large files).
    using Decode = std::function<Value(const QByteArray&)>;
    void setDecoder(Decode decode) { m_decode = std::move(decode); }

    const QString& path() const { return m_path; }
    // The file's identity while it held the bytes last read or written, when known.
    std::optional<FileIO::FileIdentity> knownIdentity() const
    {
        return m_snapshot.seen == Seen::contents ? m_snapshot.identity : std::nullopt;
    }
    QString backupPath() const { return m_path + QStringLiteral(".backup"); }

    // Reads, decodes and validates the file and remembers its bytes; with `read`, also hands
    // them out. A file that is absent while its backup exists is refused, so that it is
    // restored instead of started afresh.
    Value load(QByteArray* read = nullptr)
    {
        m_snapshot = Snapshot{};
        const std::optional<FileIO::FileIdentity> before = readsDiskItself() ? FileIO::identity(m_path) : std::nullopt;
        const std::optional<QByteArray> bytes = m_read(m_path);
        if (bytes) {
            // The digest of a large file is taken beside the decoding, which takes longer.
            std::shared_future<FileFingerprint> fingerprint = bytes->size() < worthAThread
                ? ready(FileFingerprint::of(*bytes))
                : std::async(std::launch::async, [held = std::make_shared<QByteArray>(*bytes)] {
                      // Let the bytes go as soon as they are digested, not with the result.
                      const QByteArray bytes = std::exchange(*held, {});
                      return FileFingerprint::of(bytes);
                  }).share();
            Value value = decodeValid(*bytes);
            // Known only when the file did not change while it was being read.
            std::optional<FileIO::FileIdentity> identity = FileIO::identity(m_path);
            if (!before || identity != before)
                identity.reset();
            m_snapshot = Snapshot{Seen::contents, std::move(fingerprint), identity};
            if (read)
                *read = *bytes;
            return value;
        }
        if (m_read(backupPath()))
            throw Failure(Failure::missingWithBackup);
        m_snapshot = Snapshot{Seen::missing, {}, {}};
        return m_makeDefault();
    }

    // The value, provided the file still holds exactly what was last read or written.
    Value verifiedValue() const
    {
        const std::optional<QByteArray> onDisk = m_read(m_path);
        switch (m_snapshot.seen) {
        case Seen::unread: throw Failure(Failure::notLoaded);
        case Seen::missing:
            if (onDisk || m_read(backupPath()))
                throw Failure(Failure::changedOnDisk);
            return m_makeDefault();
        case Seen::contents: break;
        }
        if (!onDisk || !holds(*onDisk))
            throw Failure(Failure::changedOnDisk);
        return decodeValid(*onDisk);
    }

    // Writes `value` unless the file changed since it was last seen. Equal bytes write nothing.
    void save(const Value& value)
    {
        if (m_snapshot.seen == Seen::unread)
            throw Failure(Failure::notLoaded);
        const VelmoraJSON::Encoded encoded = validatedEncoding(value);
        const QByteArray& bytes = encoded.bytes;
        // The digest of tens of megabytes is taken beside the write, where the disk is waited
        // for, so that it takes no processor from the encoding; before the checks only when
        // the bytes may be the ones on disk, which needs equal sizes.
        const auto digest = [&bytes]() -> std::shared_future<FileFingerprint> {
            if (bytes.size() < worthAThread)
                return ready(FileFingerprint::of(bytes));
            return std::async(std::launch::async, [held = std::make_shared<QByteArray>(bytes)] {
                // The future keeps its task: the bytes must go when digested, not with it.
                const QByteArray bytes = std::exchange(*held, {});
                return FileFingerprint::of(bytes);
            }).share();
        };
        const bool sameSize = m_snapshot.seen == Seen::contents && m_snapshot.fingerprint.get().size == bytes.size();
        std::shared_future<FileFingerprint> fingerprint = sameSize ? digest() : std::shared_future<FileFingerprint>();
        const bool unchanged = sameSize && holds(fingerprint.get());
        // Every remembered byte sequence was decoded and validated when it was remembered, so
        // only new bytes need the read-back check. This keeps a save of unchanged data cheap.
        // Bytes that decode to the validated value itself pass it without being decoded again.
        if (!encoded.readsBackAsGiven && !unchanged)
            decodeValid(bytes);

        // A file whose identity is the one it had when last read or written still holds the
        // remembered bytes: a large library is not read and digested again for each save.
        const bool knownOnDisk = m_snapshot.seen == Seen::contents && m_snapshot.identity
            && FileIO::identity(m_path) == m_snapshot.identity;
        const std::optional<QByteArray> onDisk = knownOnDisk ? std::nullopt : m_read(m_path);
        if (m_snapshot.seen == Seen::missing) {
            if (onDisk || m_read(backupPath()))
                throw Failure(Failure::changedOnDisk);
        } else {
            if (!knownOnDisk && (!onDisk || !holds(*onDisk)))
                throw Failure(Failure::changedOnDisk);
            if (unchanged)
                return;
        }

        FileIO::makeFolders(QFileInfo(m_path).absolutePath());
        if (!fingerprint.valid())
            fingerprint = digest();
        // The file holds exactly the remembered bytes (checked above), so it is already known
        // to decode and validate: it can become the backup as it is.
        const auto previous = [&] { return onDisk ? *onDisk : m_read(m_path).value_or(QByteArray()); };
        if (!onDisk && !knownOnDisk) {
            write(bytes, m_path);
        } else if (m_replace) {
            m_replace(bytes, m_path, backupPath(), previous);
        } else {
            write(previous(), backupPath());
            write(bytes, m_path);
        }
        m_snapshot = Snapshot{Seen::contents, fingerprint, readsDiskItself() ? FileIO::identity(m_path) : std::nullopt};
        // The save ends with its digest: the writer trims the heap after each job.
        fingerprint.wait();
    }

    // Puts the validated backup in the file's place; the file's current bytes, if any, are
    // kept as a recovery copy first. Works whatever the file's state, including after a
    // failed load. The backup itself stays.
    Value restoreBackup()
    {
        const std::optional<QByteArray> backup = m_read(backupPath());
        if (!backup)
            throw Failure(Failure::noBackup);
        Value value = decodeValid(*backup);
        if (const std::optional<QByteArray> current = m_read(m_path))
            m_write(*current, m_path + QStringLiteral(".recovery-") + Uuid::generate(), FileIO::Access::ownerOnly);
        write(*backup, m_path);
        m_snapshot = Snapshot{Seen::contents, ready(FileFingerprint::of(*backup)),
            readsDiskItself() ? FileIO::identity(m_path) : std::nullopt};
        return value;
    }

private:
    enum class Seen {
        unread, // nothing read or written yet, or the last read failed
        missing, // neither the file nor its backup existed at the last read
        contents, // the file last held `bytes`
    };
    struct Snapshot {
        Seen seen = Seen::unread;
        // Of the bytes, while seen is `contents`; possibly still being taken.
        std::shared_future<FileFingerprint> fingerprint;
        // The file's identity while it held them, when known.
        std::optional<FileIO::FileIdentity> identity;
    };
    static constexpr qsizetype worthAThread = 1024 * 1024;

    // Whether the file is read and written on disk as it is, by this system's own functions;
    // only then does its identity on disk tell what it holds (a test's functions may keep
    // files elsewhere).
    bool readsDiskItself() const
    {
        using Plain = std::optional<QByteArray> (*)(const QString&);
        const Plain* read = m_read.template target<Plain>();
        return m_replace && read && *read == &FileIO::read;
    }

    static std::shared_future<FileFingerprint> ready(FileFingerprint fingerprint)
    {
        std::promise<FileFingerprint> promise;
        promise.set_value(std::move(fingerprint));
        return promise.get_future().share();
    }
    bool holds(const FileFingerprint& fingerprint) const
    {
        return m_snapshot.seen == Seen::contents && m_snapshot.fingerprint.get() == fingerprint;
    }
    // A file of another size is told apart without digesting it.
    bool holds(const QByteArray& bytes) const
    {
        return m_snapshot.seen == Seen::contents && m_snapshot.fingerprint.get().size == bytes.size()
            && holds(FileFingerprint::of(bytes));
    }

    void validate(const Value& value) const
    {
        if (m_validate)
            m_validate(value);
    }

    // The value's bytes, once it passed validation. A file that was large last time is
    // validated beside the encoding, which reads the value just as well: the file lands as much
    // sooner. A value that breaks a rule fails with the validation's error whatever the
    // encoding did.
    VelmoraJSON::Encoded validatedEncoding(const Value& value) const
    {
        const auto encode
            = [&] { return m_encode ? m_encode(value) : VelmoraJSON::Encoded{VelmoraJSON::encode(value)}; };
        const bool large
            = m_validate && m_snapshot.seen == Seen::contents && m_snapshot.fingerprint.get().size >= worthAThread;
        if (!large) {
            validate(value);
            return encode();
        }
        std::future<void> validation = std::async(std::launch::async, [&] { validate(value); });
        std::optional<VelmoraJSON::Encoded> encoded;
        std::exception_ptr encodingError;
        try {
            encoded = encode();
        } catch (...) {
            encodingError = std::current_exception();
        }
        validation.get();
        if (encodingError)
            std::rethrow_exception(encodingError);
        return std::move(*encoded);
    }

    Value decodeValid(const QByteArray& bytes) const
    {
        if (bytes.isEmpty())
            throw DecodingError::dataCorrupted(QStringLiteral("The file is empty."));
        if (m_decode)
            return m_decode(bytes);
        Value value = VelmoraJSON::decode<Value>(bytes);
        validate(value);
        return value;
    }

    void write(const QByteArray& bytes, const QString& path) const { m_write(bytes, path, FileIO::Access::ownerOnly); }

    QString m_path;
    Snapshot m_snapshot;
    MakeDefault m_makeDefault;
    Validate m_validate;
    Read m_read;
    FileIO::Writer m_write;
    FileIO::Replacer m_replace;
    Encode m_encode;
    Decode m_decode;
};
