#pragma once

#include "Models/VelmoraJSON.h"

#include <optional>

// The public profile of an account. Member names are the JSON keys. The account service
// holds one as its current profile, which nothing fetches or stores yet.
struct UserProfile {
    std::optional<QString> id;
    QString user_id;
    QString username;
    QString display_name;
    std::optional<QString> bio;
    std::optional<QString> avatar_url;
    std::optional<QString> twitter;
    std::optional<QString> linkedin;
    std::optional<QString> website;

    static UserProfile fromJson(const JsonReader& reader);
    QJsonValue toJson() const;

    friend bool operator==(const UserProfile&, const UserProfile&) = default;
};
