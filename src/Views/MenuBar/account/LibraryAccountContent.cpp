#include "Views/MenuBar/account/LibraryAccountContent.h"

#include "Services/AuthService.h"
#include "Services/SyncCoordinator.h"
#include "Utilities/Theme.h"
#include "Views/Components/ActivityIndicator.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/HairlineDivider.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/account/AccountAvatar.h"
#include "Views/MenuBar/account/AccountSecondaryButton.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

// The status line's glass panel.
class StatusPanel final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(continuousRoundedRect(rect(), 10), Theme::surfaceGlass());
    }
};

} // namespace

LibraryAccountContent::LibraryAccountContent(AuthService& auth, SyncCoordinator& sync, bool librarySyncAvailable,
    std::function<void()> leave, SupabaseHTTPClient::Transport pictures, QWidget* parent)
    : QWidget(parent)
    , m_auth(auth)
    , m_sync(sync)
    , m_librarySyncAvailable(librarySyncAvailable)
    , m_leave(std::move(leave))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 8, 0, 8);
    column->setSpacing(18);
    column->addWidget(buildIdentity(std::move(pictures)));
    column->addWidget(buildCard());
    auto* divider = new HairlineDivider(this);
    column->addWidget(divider);
    column->addWidget(glassDangerButton(
        QStringLiteral("Sign out"),
        [this] {
            m_sync.stop();
            m_auth.signOut();
        },
        this));

    connect(&m_sync, &SyncCoordinator::reviewChanged, this, &LibraryAccountContent::refresh);
    connect(&m_sync, &SyncCoordinator::isSyncingChanged, this, &LibraryAccountContent::refresh);
    connect(&m_sync, &SyncCoordinator::messageChanged, this, &LibraryAccountContent::refresh);
    connect(&m_auth, &AuthService::currentUserChanged, this, &LibraryAccountContent::refresh);
    connect(&m_auth, &CredentialsProvider::isLoggedInChanged, this, &LibraryAccountContent::refresh);
    refresh();
}

QWidget* LibraryAccountContent::buildIdentity(SupabaseHTTPClient::Transport pictures)
{
    auto* identity = new QWidget(this);
    auto* column = new QVBoxLayout(identity);
    column->setContentsMargins(0, 12, 0, 12);
    column->setSpacing(12);
    m_avatar = new AccountAvatar(identity);
    if (pictures)
        m_avatar->setTransport(std::move(pictures));
    column->addWidget(m_avatar, 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(5);
    m_email = new ThemedLabel(QString(), 14, QFont::Medium, &Theme::text, identity);
    m_email->setAlignment(Qt::AlignCenter);
    m_email->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_email->setWordWrap(true);
    texts->addWidget(m_email);
    auto* privacy = new ThemedLabel(QStringLiteral("Private library"), 12, QFont::Normal, &Theme::textMuted, identity);
    privacy->setAlignment(Qt::AlignCenter);
    texts->addWidget(privacy);
    column->addLayout(texts);
    return identity;
}

QWidget* LibraryAccountContent::buildCard()
{
    auto* card = new QWidget(this);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);

    auto* title = new ThemedLabel(QStringLiteral("Your words, on every device"), 18, QFont::Medium, &Theme::text, card);
    title->setHeading(true);
    title->setWordWrap(true);
    column->addWidget(title);

    m_explanation = new ThemedLabel(explanation, 13, QFont::Normal, &Theme::textSecondary, card);
    m_explanation->setWordWrap(true);
    column->addWidget(m_explanation);

    auto* panel = new StatusPanel(card);
    auto* status = new QHBoxLayout(panel);
    status->setContentsMargins(14, 14, 14, 14);
    status->setSpacing(9);
    // The symbol or the indicator, level with the first line of the text.
    auto* symbolBox = new QVBoxLayout;
    symbolBox->setContentsMargins(0, 1, 0, 0);
    m_statusSymbol = new SymbolLabel(QStringLiteral("icloud"), 13, SymbolWeight::regular, &Theme::textSecondary, panel);
    m_progress = new ActivityIndicator(&Theme::textSecondary, 13, panel);
    symbolBox->addWidget(m_statusSymbol);
    symbolBox->addWidget(m_progress);
    symbolBox->addStretch(1);
    status->addLayout(symbolBox);
    m_status = new ThemedLabel(QString(), 12, QFont::Normal, &Theme::textSecondary, panel);
    m_status->setWordWrap(true);
    m_status->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    status->addWidget(m_status, 1, Qt::AlignTop);
    column->addWidget(panel);

    m_mainButton = glassButton(
        QString(), false, [this] { m_sync.run(); }, card);
    column->addWidget(m_mainButton);

    auto* offline = new AccountSecondaryButton(QStringLiteral("Use Velmora offline"), card);
    connect(offline, &QAbstractButton::clicked, this, [this] {
        m_sync.stop();
        if (m_leave)
            m_leave();
    });
    column->addWidget(offline);
    return card;
}

QString LibraryAccountContent::mainButtonTitle(const SyncCoordinator& sync)
{
    if (sync.isSyncing())
        return QStringLiteral("Checking library\u2026");
    if (sync.canAutoSync())
        return QStringLiteral("Sync now");
    return QStringLiteral("Review cloud library");
}

void LibraryAccountContent::refresh()
{
    const std::optional<AuthUser>& user = m_auth.currentUser();
    m_avatar->setUser(user);
    m_email->setText(user && user->email ? *user->email : QStringLiteral("Signed in"));

    const bool syncing = m_sync.isSyncing();
    const bool enabled = m_sync.canAutoSync();
    m_explanation->setVisible(!enabled);
    m_progress->setVisible(syncing);
    m_statusSymbol->setVisible(!syncing);
    m_statusSymbol->setName(enabled ? QStringLiteral("checkmark.icloud") : QStringLiteral("icloud"));
    m_status->setText(m_librarySyncAvailable ? m_sync.message() : syncOffText);

    m_mainButton->setText(mainButtonTitle(m_sync));
    m_mainButton->setAccessibleName(m_mainButton->text());
    m_mainButton->setEnabled(m_librarySyncAvailable && !syncing);
}
