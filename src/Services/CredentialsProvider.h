#pragma once

#include "Services/AuthCredentials.h"
#include "Utilities/Cancellation.h"
#include "Utilities/Result.h"

#include <QObject>
#include <QUuid>

// What library sync needs of the signed-in account: whether someone is signed in, the
// current sign-in era, credentials good for at least another minute, and a check that
// credentials issued earlier still belong to the account signed in now. The account service
// implements it; tests use a double.
class CredentialsProvider : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isLoggedIn() const = 0;
    // Renewed only by sign-out: work started under an older value must not store anything.
    virtual QUuid generation() const = 0;

    // Hands `done` credentials on the calling (main) thread, renewing the session first when
    // needed. A cancelled `cancellation` ends the wait with CancellationError.
    virtual void credentials(const Cancellation& cancellation, Completion<AuthCredentials> done) = 0;

    // Throws CancellationError when `cancellation` is cancelled and AuthError::sessionChanged
    // when the credentials no longer belong to the signed-in account of the current era.
    virtual void validate(const AuthCredentials& credentials, const Cancellation& cancellation) const = 0;

Q_SIGNALS:
    void isLoggedInChanged(bool loggedIn);
    void generationChanged(const QUuid& generation);
};
