#include "Views/MenuBar/account/SyncReviewOverlay.h"

#include "Services/AuthService.h"
#include "Services/SyncCoordinator.h"
#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/ActivityIndicator.h"
#include "Views/Components/ModalLayers.h"
#include "Views/Components/Motion.h"
#include "Views/Components/OverlayScrollArea.h"
#include "Views/Components/PaintedButton.h"
#include "Views/Components/ScaleFadeEffect.h"
#include "Views/Components/SoftShadow.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/account/AccountNotice.h"
#include "Views/MenuBar/account/AccountSecondaryButton.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

using Choice = SyncCoordinator::Choice;

namespace {

constexpr qreal cardRadius = 14;
constexpr qreal tileRadius = 10;

const QString chooseText
    = QStringLiteral("Choose the shortcuts, settings and statistics to use on this computer and in the cloud.");

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

QColor primaryDetail()
{
    return withOpacity(Theme::onAccent(), 0.75);
}

QColor plainDetail()
{
    return withOpacity(Theme::text(), 0.75);
}

// The card on its material, with the soft shadow it casts on the dimmed screen.
class ReviewCard final : public QWidget {
public:
    using QWidget::QWidget;

    QPainterPath shape() const
    {
        return continuousRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cardRadius);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(shape(), Theme::bgCard());
        painter.fillPath(shape(), Theme::surfaceGlass());
        painter.strokePath(shape(), QPen(Theme::borderSubtle(), 1));
    }
};

// What the scroll view holds: the card, centred while it is shorter than the view.
class ReviewContent final : public QWidget {
public:
    explicit ReviewContent(ReviewCard* card)
        : m_card(card)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        paintSoftShadow(
            painter, m_card->shape().translated(m_card->pos()), QColor::fromRgbF(0, 0, 0, 0.25f), 22, QPointF(0, 8));
    }

private:
    ReviewCard* m_card;
};

// One side's library: its name with a symbol, and how many shortcuts it holds.
class LibraryTile final : public QWidget {
public:
    LibraryTile(const QString& title, const QString& icon, const QString& count, QWidget* parent)
        : QWidget(parent)
    {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(13, 13, 13, 13);
        column->setSpacing(9);
        auto* heading = new QHBoxLayout;
        heading->setSpacing(5);
        heading->addWidget(new SymbolLabel(icon, 11, SymbolWeight::regular, &Theme::textMuted, this));
        heading->addWidget(new ThemedLabel(title, 11, QFont::Normal, &Theme::textMuted, this), 1);
        column->addLayout(heading);
        column->addWidget(new ThemedLabel(count, 14, QFont::Medium, &Theme::text, this));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(continuousRoundedRect(rect(), tileRadius), Theme::surfaceGlass());
    }
};

// One way forward: a symbol, a title and what it does, on a tile that is all button. The
// primary one is filled with the text colour; a disabled one is faded and inert.
class ChoiceTile final : public PaintedButton {
public:
    ChoiceTile(const QString& title, const QString& icon, const QString& detail, bool primary, QWidget* parent)
        : PaintedButton(title, parent)
        , m_primary(primary)
    {
        setAccessibleDescription(detail);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        const ThemeColor ink = primary ? &Theme::onAccent : &Theme::text;

        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(14, 14, 14, 14);
        row->setSpacing(11);
        auto* symbol = new SymbolLabel(icon, 14, SymbolWeight::medium, ink, this);
        symbol->setFixedWidth(18);
        auto* symbolBox = new QVBoxLayout;
        symbolBox->setContentsMargins(0, 2, 0, 0);
        symbolBox->addWidget(symbol);
        symbolBox->addStretch(1);
        row->addLayout(symbolBox);

        auto* texts = new QVBoxLayout;
        texts->setSpacing(5);
        texts->addWidget(new ThemedLabel(title, 13, QFont::Medium, ink, this));
        auto* details = new ThemedLabel(detail, 11, QFont::Normal, primary ? &primaryDetail : &plainDetail, this);
        details->setWordWrap(true);
        texts->addWidget(details);
        row->addLayout(texts, 1);
        for (QWidget* child : findChildren<QWidget*>()) {
            child->setAttribute(Qt::WA_TransparentForMouseEvents);
            // A label inside a button would otherwise take the button's text role, not its own colour.
            child->setForegroundRole(QPalette::WindowText);
        }
    }

    void setInert(bool inert)
    {
        setEnabled(!inert);
        setDrawnOpacity(this, inert ? 0.4 : 1.0);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        beginPaint(painter);
        const QPainterPath shape = continuousRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), tileRadius);
        painter.fillPath(shape, m_primary ? Theme::text() : Theme::surfaceGlass());
        if (!m_primary)
            painter.strokePath(shape, QPen(Theme::borderSubtle(), 1));
        if (showsKeyboardFocus(this))
            painter.strokePath(shape, QPen(Theme::borderSelected(), 2));
    }

private:
    bool m_primary;
};

} // namespace

SyncReviewOverlay::SyncReviewOverlay(
    const SyncReview& review, SyncCoordinator& sync, const AuthService& auth, QWidget* parent)
    : QWidget(parent)
    , m_review(review)
    , m_sync(sync)
{
    setObjectName(QStringLiteral("SyncReviewOverlay"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(title(review.reason));
    AccessibleRoles::markModalLayer(this);

    m_scroll = new OverlayScrollArea(this);
    auto* card = static_cast<ReviewCard*>(buildCard(auth));
    m_content = new ReviewContent(card);
    auto* centring = new QVBoxLayout(m_content);
    centring->setContentsMargins(16, 16, 16, 16);
    centring->addStretch(1);
    centring->addWidget(card);
    centring->addStretch(1);
    m_scroll->setContent(m_content);

    m_effect = new ScaleFadeEffect(startScale, this);
    m_scroll->setGraphicsEffect(m_effect);
    connect(&m_sync, &SyncCoordinator::isSyncingChanged, this, &SyncReviewOverlay::refresh);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    refresh();
}

QString SyncReviewOverlay::shortcutCount(qsizetype count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" shortcut") : QStringLiteral(" shortcuts"));
}

QString SyncReviewOverlay::title(SyncReview::Reason reason)
{
    return reason == SyncReview::Reason::competingEdits ? QStringLiteral("Both versions changed")
                                                        : QStringLiteral("Connect your library");
}

QString SyncReviewOverlay::explanation(SyncReview::Reason reason)
{
    if (reason == SyncReview::Reason::differentAccount)
        return QStringLiteral("This computer's library was linked to another account. Nothing changes until you "
                              "choose a version for this account.");
    return chooseText;
}

QWidget* SyncReviewOverlay::buildCard(const AuthService& auth)
{
    auto* card = new ReviewCard;
    m_card = card;
    card->setMaximumWidth(maximumCardWidth);
    card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(18);

    auto* header = new QVBoxLayout;
    header->setSpacing(9);
    auto* heading = new ThemedLabel(title(m_review.reason), 21, QFont::Medium, &Theme::text, card);
    heading->setHeading(true);
    heading->setWordWrap(true);
    header->addWidget(heading);
    auto* why = new ThemedLabel(explanation(m_review.reason), 12, QFont::Normal, &Theme::textSecondary, card);
    why->setWordWrap(true);
    header->addWidget(why);
    const std::optional<AuthUser>& user = auth.currentUser();
    auto* account = new ThemedLabel(
        user && user->email ? *user->email : QStringLiteral("Current account"), 12, QFont::Medium, &Theme::text, card);
    account->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header->addWidget(account);
    column->addLayout(header);

    column->addWidget(libraryTiles());
    addChoices(column);

    const bool cloudHasLibrary = m_review.cloud.has_cloud;
    if (!m_review.local.data.duplicateTriggers().isEmpty()) {
        column->addWidget(new AccountNotice(
            cloudHasLibrary ? QStringLiteral(
                "Give duplicate shortcuts unique triggers before uploading. You can still download the cloud library.")
                            : QStringLiteral("Give duplicate shortcuts unique triggers before uploading."),
            QStringLiteral("exclamationmark.circle"), false, card));
    }
    column->addWidget(new AccountNotice(
        QStringLiteral("Both versions are saved as recovery copies before either library is replaced."),
        QStringLiteral("clock.arrow.circlepath"), false, card));

    m_saving = new QWidget(card);
    auto* saving = new QHBoxLayout(m_saving);
    saving->setContentsMargins(0, 0, 0, 0);
    saving->setSpacing(9);
    saving->addStretch(1);
    saving->addWidget(new ActivityIndicator(&Theme::textSecondary, 13, m_saving));
    saving->addWidget(
        new ThemedLabel(QStringLiteral("Saving safely\u2026"), 12, QFont::Normal, &Theme::textSecondary, m_saving));
    saving->addStretch(1);
    column->addWidget(m_saving);

    auto* pause = new AccountSecondaryButton(QStringLiteral("Not now \u00b7 keep sync paused"), card);
    connect(pause, &QAbstractButton::clicked, this, [this] { m_sync.stop(); });
    column->addWidget(pause);
    return card;
}

QWidget* SyncReviewOverlay::libraryTiles()
{
    auto* tiles = new QWidget(m_card);
    auto* row = new QHBoxLayout(tiles);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(new LibraryTile(QStringLiteral("This computer"), QStringLiteral("desktopcomputer"),
                       shortcutCount(m_review.local.data.shortcuts.size()), tiles),
        1);
    row->addWidget(new LibraryTile(QStringLiteral("Cloud"), QStringLiteral("icloud"),
                       shortcutCount(m_review.cloud.snapshot.data.shortcuts.size()), tiles),
        1);
    return tiles;
}

void SyncReviewOverlay::addChoices(QBoxLayout* column)
{
    const bool cloudHasLibrary = m_review.cloud.has_cloud;
    const bool duplicates = !m_review.local.data.duplicateTriggers().isEmpty();
    const QUuid id = m_review.id;
    auto* choices = new QVBoxLayout;
    choices->setSpacing(10);
    if (cloudHasLibrary) {
        auto* download = new ChoiceTile(QStringLiteral("Download cloud library"), QStringLiteral("arrow.down"),
            QStringLiteral("Replace this computer's library with your synced version."), true, m_card);
        connect(download, &QAbstractButton::clicked, this, [this, id] { m_sync.run(Choice::useCloud, id); });
        choices->addWidget(download);
    } else {
        choices->addWidget(new AccountNotice(
            QStringLiteral("Your cloud library is empty. Upload this computer's library to begin syncing."),
            QStringLiteral("icloud"), false, m_card));
    }
    auto* upload = new ChoiceTile(QStringLiteral("Upload this computer's library"), QStringLiteral("arrow.up"),
        QStringLiteral("Replace the cloud library with this computer's version."), !cloudHasLibrary, m_card);
    upload->setInert(duplicates);
    connect(upload, &QAbstractButton::clicked, this, [this, id] { m_sync.run(Choice::useLocal, id); });
    choices->addWidget(upload);
    column->addLayout(choices);
}

void SyncReviewOverlay::refresh()
{
    const bool saving = m_sync.isSyncing();
    m_card->setEnabled(!saving);
    m_saving->setVisible(saving);
}

void SyncReviewOverlay::present()
{
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    m_effect->setProgress(0);
    animate(1, {});
}

void SyncReviewOverlay::leave()
{
    ModalLayers::release(this);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QPointer<SyncReviewOverlay> self(this);
    animate(0, [self] {
        if (self)
            self->deleteLater();
    });
}

void SyncReviewOverlay::animate(qreal to, std::function<void()> done)
{
    if (m_animation)
        m_animation->stop();
    m_animation = Motion::easeOutTransition(
        this, m_effect->progress(), to, transitionSeconds, !isVisible(),
        [this](qreal progress) {
            m_effect->setProgress(progress);
            update();
        },
        std::move(done));
}

void SyncReviewOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_scroll->setGeometry(rect());
    // A short card sits in the middle of the view; a tall one scrolls.
    m_content->setMinimumHeight(height());
}

void SyncReviewOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setOpacity(m_effect->progress());
    painter.fillRect(rect(), Theme::overlayDim());
}

void SyncReviewOverlay::mousePressEvent(QMouseEvent* event)
{
    // The dimmed screen takes the click, so nothing beneath reacts.
    event->accept();
}
