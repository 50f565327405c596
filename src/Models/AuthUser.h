#pragma once

#include "Models/VelmoraJSON.h"

#include <optional>

// The backend's account record. Member names are the backend's snake-case JSON keys.
struct AuthUser {
    // The sign-in provider's profile data; the account screen takes the name and picture from it.
    struct UserMetadata {
        std::optional<QString> full_name;
        std::optional<QString> avatar_url;

        static UserMetadata fromJson(const JsonReader& reader);
        QJsonValue toJson() const;

        friend bool operator==(const UserMetadata&, const UserMetadata&) = default;
    };

    QString id; // UUID text
    std::optional<QString> email;
    std::optional<UserMetadata> user_metadata;

    static AuthUser fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const AuthUser&, const AuthUser&) = default;
};
