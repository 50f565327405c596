#pragma once

#include "Views/MenuBar/account/AccountServices.h"
#include "Views/MenuBar/account/SyncReviewOverlay.h"
#include "Views/MenuBar/screen/ScreenBinding.h"
#include "Views/MenuBar/screen/ScreenKeyActions.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class AccountNotice;
class AccountSecondaryButton;
class LibraryAccountContent;
class ScreenHeader;
class SignedOutWelcome;
class QVBoxLayout;

// The popover's window on the cloud. Signed out, it offers Google sign-in (or, when this
// build has no cloud, says so); signed in, it shows the account and its cloud library card.
// Above either it reports the account service's last failure, with a way to clear a saved
// sign-in that cannot be read, and while a sync waits for the user's choice it lays the
// review over everything and nothing beneath reacts. Coming into view it attaches the
// popover's state to the coordinator, so a sync started here can read and apply the library.
//
// Its only state is the sign-in started here: whether it runs and how the last one failed.
// The sign-in itself does not depend on the screen: leaving while it runs lets it finish,
// first library check included.
class AccountView : public QWidget, public ScreenKeyActions {
    Q_OBJECT
public:
    static inline const QString notConnectedText = QStringLiteral(
        "Cloud sync is not connected in this build. Your shortcuts work on this computer, and you can import or "
        "export your library in Settings.");
    static inline const QString signInPausedText = QStringLiteral(
        "Cloud sign-in is paused in this build. Your shortcuts work offline, and you can import or export your "
        "library in Settings.");

    // `services` must be complete and outlive the screen.
    AccountView(AccountServices services, ScreenBinding screen, QWidget* parent = nullptr);
    ~AccountView() override;

    bool isLoading() const { return m_isLoading; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }

    ScreenHeader* header() const { return m_header; }
    // The content under the header: disabled while a review is shown.
    QWidget* screenColumn() const { return m_column; }
    SyncReviewOverlay* reviewOverlay() const { return m_overlay; }
    SignedOutWelcome* welcome() const;
    LibraryAccountContent* libraryContent() const;

    // Escape closes the review (sync stays paused) or calls off a sign-in waiting for the
    // browser; otherwise the popover closes.
    bool cancelAction() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* buildErrorNotice();
    QWidget* buildUnavailablePanel();
    SignedOutWelcome* buildWelcome();
    void googleSignIn();
    void setLoading(bool loading);
    void followStage();
    void followLastError();
    void followReview();
    void refreshWelcome();
    void leave();

    AccountServices m_services;
    AuthService& m_auth;
    SyncCoordinator& m_sync;
    ScreenBinding m_screen;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;

    ScreenHeader* m_header;
    QWidget* m_column = nullptr;
    QVBoxLayout* m_contentColumn = nullptr;
    QWidget* m_errorBox = nullptr;
    AccountNotice* m_errorNotice = nullptr;
    AccountSecondaryButton* m_clearSignIn = nullptr;
    AccountSecondaryButton* m_retryStoredSession = nullptr;
    QPointer<QWidget> m_stageContent;
    std::optional<bool> m_shownStage;
    QPointer<SyncReviewOverlay> m_overlay;
};
