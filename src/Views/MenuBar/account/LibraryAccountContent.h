#pragma once

#include "Services/SupabaseHTTPClient.h"

#include <QWidget>
#include <functional>

class AccountAvatar;
class ActivityIndicator;
class AuthService;
class GlassButton;
class QAbstractButton;
class SymbolLabel;
class SyncCoordinator;
class ThemedLabel;

// The account screen's content while someone is signed in: who it is (picture and e-mail
// address), the cloud library card with the state of library sync and the button that starts
// a sync or a review, a way to keep working offline, and sign-out. It keeps nothing: it shows
// the account service's and the coordinator's published state, and each control makes one or
// two calls into them.
class LibraryAccountContent : public QWidget {
    Q_OBJECT
public:
    static inline const QString explanation
        = QStringLiteral("Bring your library from your other devices here by choosing Download in the review. "
                         "Signing in alone never uploads your library.");
    static inline const QString syncOffText = QStringLiteral("Library sync is not enabled in this build.");

    // `leave` returns the popover to the main list; `pictures`, when given, replaces the network
    // access of the profile picture.
    LibraryAccountContent(AuthService& auth, SyncCoordinator& sync, bool librarySyncAvailable,
        std::function<void()> leave, SupabaseHTTPClient::Transport pictures = {}, QWidget* parent = nullptr);

    AccountAvatar* avatar() const { return m_avatar; }
    GlassButton* mainButton() const { return m_mainButton; }

    // "Checking library…", "Sync now" or "Review cloud library", as the coordinator stands.
    static QString mainButtonTitle(const SyncCoordinator& sync);

private:
    QWidget* buildIdentity(SupabaseHTTPClient::Transport pictures);
    QWidget* buildCard();
    void refresh();

    AuthService& m_auth;
    SyncCoordinator& m_sync;
    bool m_librarySyncAvailable;
    std::function<void()> m_leave;

    AccountAvatar* m_avatar = nullptr;
    ThemedLabel* m_email = nullptr;
    ThemedLabel* m_explanation = nullptr;
    ActivityIndicator* m_progress = nullptr;
    SymbolLabel* m_statusSymbol = nullptr;
    ThemedLabel* m_status = nullptr;
    GlassButton* m_mainButton = nullptr;
};
