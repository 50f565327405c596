#pragma once

#include "Models/UserData.h"
#include "Utilities/VelmoraError.h"

#include <QString>

// Reading a library file that the user chose to import. The file comes from anywhere, so
// it is read with a bound on its size and checked to be UTF-8 before it is parsed; the
// library's own decoding then rejects anything that is not a valid library.
namespace LibraryImportFile {

// Far beyond any real library (custom icons included), small enough to read at once.
inline constexpr qint64 maxBytes = 64 * 1024 * 1024;

class Failure : public VelmoraError {
public:
    enum class Kind { unreadable, tooLarge, notText };

    Failure(Kind kind, QString reason = {})
        : m_kind(kind)
        , m_reason(std::move(reason))
    {
    }
    Kind kind() const { return m_kind; }
    QString errorDescription() const override;

private:
    Kind m_kind;
    QString m_reason;
};

// The library in the file at `path`. Throws Failure, or the library's DecodingError.
UserData read(const QString& path);

} // namespace LibraryImportFile
