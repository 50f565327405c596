#pragma once

#include "Models/AuthUser.h"
#include "Services/SupabaseHTTPClient.h"

#include <QImage>
#include <QWidget>
#include <optional>

class ProfilePictureLoader;

// The signed-in user's picture in a circle with a hairline ring. Until the picture from the
// profile has loaded, and whenever it cannot be, the circle shows the user's initial.
class AccountAvatar : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 44;

    explicit AccountAvatar(QWidget* parent = nullptr);
    ~AccountAvatar() override;

    // Replaces the network access of the picture's fetch.
    void setTransport(SupabaseHTTPClient::Transport transport);
    // Shows `user` (nobody signed in when empty): the initial at once, the picture once loaded.
    void setUser(const std::optional<AuthUser>& user);

    // The letter of the fallback: the first character (a whole grapheme cluster) of the full
    // name, else of the e-mail address, else of "?", in upper case. A present but empty name
    // gives no letter.
    static QString initialChar(const std::optional<AuthUser>& user);

    QString initial() const { return m_initial; }
    bool showsPicture() const { return !m_picture.isNull(); }

    QSize sizeHint() const override { return {side, side}; }

Q_SIGNALS:
    // A fetch of the picture ended, with or without one.
    void pictureSettled();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ProfilePictureLoader* m_loader;
    QString m_initial;
    QString m_address;
    QImage m_picture;
};
