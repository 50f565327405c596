#include "Views/MenuBar/account/AccountView.h"

#include "Services/AuthService.h"
#include "Services/SyncCoordinator.h"
#include "Utilities/Theme.h"
#include "Utilities/VelmoraError.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/OverlayScrollArea.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/account/AccountNotice.h"
#include "Views/MenuBar/account/AccountSecondaryButton.h"
#include "Views/MenuBar/account/LibraryAccountContent.h"
#include "Views/MenuBar/account/SignedOutWelcome.h"
#include "Views/MenuBar/account/SyncReviewOverlay.h"

#include <QVBoxLayout>

AccountView::AccountView(AccountServices services, ScreenBinding screen, QWidget* parent)
    : QWidget(parent)
    , m_services(std::move(services))
    , m_auth(*m_services.auth)
    , m_sync(*m_services.sync)
    , m_screen(std::move(screen))
    , m_header(screenHeader(QStringLiteral("Account"), [this] { leave(); }))
{
    setObjectName(QStringLiteral("AccountView"));
    // The sync review lies over it.
    AccessibleRoles::hostModalLayers(this);
    m_column = new QWidget(this);
    auto* column = new QVBoxLayout(m_column);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_header->setParent(m_column);
    column->addWidget(m_header);

    auto* scroll = new OverlayScrollArea(m_column);
    auto* content = new QWidget;
    m_contentColumn = new QVBoxLayout(content);
    m_contentColumn->setContentsMargins(18, 18, 18, 18);
    m_contentColumn->setSpacing(16);
    m_contentColumn->addWidget(buildErrorNotice());
    m_contentColumn->addStretch(1);
    scroll->setContent(content);
    column->addWidget(scroll, 1);

    connect(&m_auth, &CredentialsProvider::isLoggedInChanged, this, [this] {
        followStage();
        followLastError();
    });
    connect(&m_auth, &AuthService::lastErrorChanged, this, [this] {
        followLastError();
        refreshWelcome();
    });
    connect(&m_auth.browser(), &WebOAuthSession::waitingChanged, this, &AccountView::refreshWelcome);
    connect(&m_sync, &SyncCoordinator::reviewChanged, this, &AccountView::followReview);
    followStage();
    followLastError();
    followReview();
}

AccountView::~AccountView() = default;

SignedOutWelcome* AccountView::welcome() const
{
    return qobject_cast<SignedOutWelcome*>(m_stageContent.data());
}

LibraryAccountContent* AccountView::libraryContent() const
{
    return qobject_cast<LibraryAccountContent*>(m_stageContent.data());
}

QWidget* AccountView::buildErrorNotice()
{
    m_errorBox = new QWidget;
    auto* box = new QVBoxLayout(m_errorBox);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(12);
    m_errorNotice = new AccountNotice(QString(), QStringLiteral("exclamationmark.circle"), true, m_errorBox);
    box->addWidget(m_errorNotice);
    // A keyring that stayed locked says nothing about the saved sign-in, which may be fine:
    // reading it again comes first, clearing it stays possible.
    m_retryStoredSession = new AccountSecondaryButton(QStringLiteral("Try again"), m_errorBox);
    connect(m_retryStoredSession, &QAbstractButton::clicked, this, [this] { m_auth.retryStoredSession(); });
    box->addWidget(m_retryStoredSession);
    m_clearSignIn = new AccountSecondaryButton(QStringLiteral("Clear saved sign-in"), m_errorBox);
    connect(m_clearSignIn, &QAbstractButton::clicked, this, [this] { m_auth.signOut(); });
    box->addWidget(m_clearSignIn);
    return m_errorBox;
}

QWidget* AccountView::buildUnavailablePanel()
{
    auto* panel = new QWidget;
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 24, 0, 24);
    column->setSpacing(16);
    column->addWidget(
        new SymbolLabel(QStringLiteral("internaldrive"), 30, SymbolWeight::light, &Theme::textMuted, panel), 0,
        Qt::AlignLeft);
    auto* title
        = new ThemedLabel(QStringLiteral("Your library stays with you"), 22, QFont::Medium, &Theme::text, panel);
    title->setHeading(true);
    title->setWordWrap(true);
    column->addWidget(title);
    auto* body = new ThemedLabel(
        m_services.backend ? signInPausedText : notConnectedText, 13, QFont::Normal, &Theme::textSecondary, panel);
    body->setWordWrap(true);
    column->addWidget(body);
    column->addWidget(glassSecondaryButton(
        QStringLiteral("Back to my library"), [this] { leave(); }, panel));
    return panel;
}

SignedOutWelcome* AccountView::buildWelcome()
{
    auto* welcome = new SignedOutWelcome;
    connect(welcome, &SignedOutWelcome::googleRequested, this, &AccountView::googleSignIn);
    connect(welcome, &SignedOutWelcome::cancelRequested, this, [this] { m_auth.browser().cancel(); });
    connect(welcome, &SignedOutWelcome::offlineRequested, this, &AccountView::leave);
    return welcome;
}

void AccountView::followStage()
{
    const bool signedIn = m_auth.isLoggedIn();
    if (m_shownStage == signedIn && m_stageContent)
        return;
    m_shownStage = signedIn;
    // The old content may hold the button whose click led here ("Sign out"): it goes once
    // that click is over.
    if (m_stageContent) {
        m_stageContent->hide();
        m_stageContent->deleteLater();
    }
    QWidget* content = nullptr;
    if (signedIn)
        content = new LibraryAccountContent(
            m_auth, m_sync, m_services.librarySyncAvailable(), [this] { leave(); }, m_services.pictures);
    else if (m_services.cloudAvailable())
        content = buildWelcome();
    else
        content = buildUnavailablePanel();
    m_stageContent = content;
    m_contentColumn->insertWidget(1, content);
    content->show();
    refreshWelcome();
}

void AccountView::followLastError()
{
    const QString& error = m_auth.lastError();
    m_errorNotice->setMessage(error);
    m_errorBox->setVisible(!error.isEmpty());
    m_clearSignIn->setVisible(!m_auth.isLoggedIn());
    m_retryStoredSession->setVisible(m_auth.isStoredSessionLocked());
}

void AccountView::followReview()
{
    const std::optional<SyncReview>& review = m_sync.review();
    m_column->setEnabled(!review);
    if (m_overlay && (!review || review->id != m_overlay->review().id)) {
        m_overlay->leave();
        m_overlay = nullptr;
    }
    if (review && !m_overlay) {
        m_overlay = new SyncReviewOverlay(*review, m_sync, m_auth, this);
        m_overlay->present();
    }
}

void AccountView::refreshWelcome()
{
    SignedOutWelcome* shown = welcome();
    if (!shown)
        return;
    shown->setLoading(m_isLoading);
    shown->setWaitingForBrowser(m_auth.browser().isWaiting());
    // The account screen's own notice shows the service's message; no second copy here.
    const bool differs = m_errorMessage && *m_errorMessage != m_auth.lastError();
    shown->setNotice(differs ? m_errorMessage : std::nullopt);
}

void AccountView::setLoading(bool loading)
{
    m_isLoading = loading;
    refreshWelcome();
}

void AccountView::googleSignIn()
{
    m_isLoading = true;
    m_errorMessage.reset();
    refreshWelcome();
    QPointer<AccountView> self(this);
    QPointer<SyncCoordinator> sync(&m_sync);
    const bool librarySync = m_services.librarySyncAvailable();
    m_auth.signInWithGoogle([self, sync, librarySync](const Result<AuthUser>& result) {
        if (!result.succeeded()) {
            if (self) {
                self->m_errorMessage = result.error().sentence();
                self->setLoading(false);
            }
            return;
        }
        if (librarySync && sync) {
            // The first library check of the new account; "Connecting…" lasts until it ends.
            sync->run(std::nullopt, std::nullopt, [self] {
                if (self)
                    self->setLoading(false);
            });
            return;
        }
        if (self)
            self->setLoading(false);
    });
}

void AccountView::leave()
{
    m_screen.set(PopoverScreen::main());
}

bool AccountView::cancelAction()
{
    if (m_overlay) {
        if (!m_sync.isSyncing())
            m_sync.stop();
        return true;
    }
    if (m_auth.browser().isWaiting()) {
        m_auth.browser().cancel();
        return true;
    }
    return false;
}

void AccountView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_services.state)
        m_sync.attach(m_services.state);
}

void AccountView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_column->setGeometry(rect());
    if (m_overlay)
        m_overlay->setGeometry(rect());
}
