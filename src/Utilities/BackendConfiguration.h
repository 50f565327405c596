#pragma once

#include "Utilities/VelmoraError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The backend project the cloud features talk to, and whether they are switched on. It is not a
// user setting: it comes from "Backend.plist" installed with the program, read once per process.
// Without a usable one every cloud feature stays off and the library works offline.
struct BackendConfiguration {
    // Why cloud work is refused.
    class AccessError final : public VelmoraError {
    public:
        enum Code {
            notConfigured,
            disabled,
            syncPaused,
        };

        AccessError(Code code)
            : m_code(code)
        {
        }

        Code code() const { return m_code; }
        QString errorDescription() const override;

        friend bool operator==(const AccessError& a, const AccessError& b) { return a.m_code == b.m_code; }

    private:
        Code m_code;
    };

    QString projectURL; // the project's https address, nothing after the host but an optional "/"
    QString publishableKey; // the backend's public client key, sent with every request
    bool cloudEnabled = false; // sign-in and every backend request
    bool syncEnabled = false; // library sync, on top of cloudEnabled

    // The address and the key are of the expected form (see the .cpp for the checks).
    bool isValid() const;

    // projectURL without any leading or trailing "/".
    QString trimmedProjectURL() const;

    // The gate of every library-sync operation: throws notConfigured, disabled or syncPaused.
    static void requireLibrarySync(const std::optional<BackendConfiguration>& configuration);

    // The valid configuration of this process, or nothing. Read on first use and kept for the
    // life of the process, so a changed file takes effect at the next start.
    static const std::optional<BackendConfiguration>& current();

    // Where the program looks for "Backend.plist", in order: beside the executable, then the
    // installed data folder (<prefix>/share/velmora/ for an executable in <prefix>/bin/).
    static QStringList searchPaths();

    // The valid configuration in the first of `paths` that exists, or nothing when none
    // exists or that one cannot be read, decoded or validated.
    static std::optional<BackendConfiguration> load(const QStringList& paths);

    // Decodes an XML property list whose root is a dictionary. Keys other than the four are
    // ignored; a missing address or key, or a known key with a value of another type, gives
    // nothing. No validity check.
    static std::optional<BackendConfiguration> fromPropertyList(const QByteArray& bytes);
};
