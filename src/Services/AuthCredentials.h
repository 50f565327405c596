#pragma once

#include <QString>
#include <QUuid>

// What one signed-in backend call needs. `generation` is the account service's sign-in era at
// issue time: work that waited checks it again and gives up when the account changed.
struct AuthCredentials {
    QString accessToken;
    QString userID;
    QUuid generation;
};
