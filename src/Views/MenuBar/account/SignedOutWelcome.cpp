#include "Views/MenuBar/account/SignedOutWelcome.h"

#include "Utilities/Theme.h"
#include "Views/Components/ActivityIndicator.h"
#include "Views/Components/PaintedButton.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/account/AccountNotice.h"
#include "Views/MenuBar/account/AccountSecondaryButton.h"
#include "Views/MenuBar/account/GoogleLogoView.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString googleTitle = QStringLiteral("Continue with Google");
const QString connectingTitle = QStringLiteral("Connecting\u2026");

// A trigger and its expansion on a tilted glass card: what the product does, at a glance.
// Still, and drawn rather than built of labels, so it gives assistive technology nothing to read.
class AuthVisual final : public QWidget {
public:
    static constexpr qreal tilt = -3;
    static constexpr int inset = 16;
    static constexpr int rowGap = 16;

    explicit AuthVisual(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(cardHeight() + 2 * tiltMargin);
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QRectF card(4, tiltMargin, width() - 8, cardHeight());
        painter.translate(card.center());
        painter.rotate(tilt);
        painter.translate(-card.center());
        const QPainterPath shape = continuousRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), 14);
        painter.fillPath(shape, Theme::surfaceGlass());
        painter.strokePath(shape, QPen(Theme::borderSubtle(), 1));

        const QRectF inner = card.adjusted(inset, inset, -inset, -inset);
        qreal y = inner.top();
        const QFont caption = uiFont(12);
        painter.setFont(caption);
        painter.setPen(Theme::textMuted());
        const QFontMetricsF captionMetrics(caption);
        painter.drawText(QRectF(inner.left(), y, inner.width(), captionMetrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Your words, with you."));
        y += captionMetrics.height() + rowGap;

        const QFont chipFont = uiFont(15, QFont::Medium, true);
        const QFontMetricsF chipMetrics(chipFont);
        const QString trigger = QStringLiteral("--hello");
        const QRectF chip(inner.left(), y, chipMetrics.horizontalAdvance(trigger) + 20, chipMetrics.height() + 14);
        painter.fillPath(continuousRoundedRect(chip, 8), Theme::surfaceGlass());
        painter.setFont(chipFont);
        painter.setPen(Theme::text());
        painter.drawText(chip, Qt::AlignCenter, trigger);
        const qreal arrowSide = 12;
        const QRectF arrow(chip.right() + 13, chip.center().y() - arrowSide / 2, arrowSide, arrowSide);
        SymbolIcon::paint(painter, arrow, u"arrow.right", Theme::textMuted());
        painter.setFont(uiFont(15));
        painter.setPen(Theme::text());
        painter.drawText(QRectF(arrow.right() + 13, chip.top(), inner.right() - arrow.right() - 13, chip.height()),
            Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Hello again."));
        y += chip.height() + rowGap;

        const QFont footnote = uiFont(11);
        const QFontMetricsF footMetrics(footnote);
        const QRectF footRow(inner.left(), y, inner.width(), footMetrics.height());
        painter.setFont(footnote);
        painter.setPen(Theme::textMuted());
        painter.drawText(footRow, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("A little less typing."));
        const qreal check = 11;
        SymbolIcon::paint(painter, QRectF(footRow.right() - check, footRow.center().y() - check / 2, check, check),
            u"checkmark", Theme::textMuted(), SymbolWeight::medium);
    }

private:
    // Room for the corners that the tilt moves out of the card's upright bounds.
    static constexpr int tiltMargin = 10;

    static int cardHeight()
    {
        const qreal caption = QFontMetricsF(uiFont(12)).height();
        const qreal chip = QFontMetricsF(uiFont(15, QFont::Medium, true)).height() + 14;
        const qreal footnote = QFontMetricsF(uiFont(11)).height();
        return int(std::ceil(2 * inset + caption + chip + footnote + 2 * rowGap));
    }
};

// The filled sign-in button: the provider's mark on a white disc (an activity indicator in
// its place while a sign-in runs) and the title, centred on the text colour.
class GoogleButton final : public PaintedButton {
public:
    explicit GoogleButton(QWidget* parent)
        : PaintedButton(googleTitle, parent)
    {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // As tall with the indicator as with the mark's disc, so nothing moves when it starts.
        setFixedHeight(markSide + 2 * markInset + 2 * verticalPadding);

        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(12, verticalPadding, 12, verticalPadding);
        row->setSpacing(10);
        row->addStretch(1);
        m_disc = new QWidget(this);
        m_disc->setFixedSize(markSide + 2 * markInset, markSide + 2 * markInset);
        auto* discLayout = new QHBoxLayout(m_disc);
        discLayout->setContentsMargins(markInset, markInset, markInset, markInset);
        discLayout->addWidget(new GoogleLogoView(m_disc));
        row->addWidget(m_disc);
        m_indicator = new ActivityIndicator(&Theme::onAccent, 14, this);
        row->addWidget(m_indicator);
        m_title = new ThemedLabel(googleTitle, 13, QFont::Medium, &Theme::onAccent, this);
        row->addWidget(m_title);
        row->addStretch(1);
        // A label inside a button would otherwise take the button's text role, not its own colour.
        m_title->setForegroundRole(QPalette::WindowText);
        for (QWidget* child : findChildren<QWidget*>())
            child->setAttribute(Qt::WA_TransparentForMouseEvents);

        setLoading(false);
    }

    void setLoading(bool loading)
    {
        setText(loading ? connectingTitle : googleTitle);
        setAccessibleName(text());
        m_title->setText(text());
        m_disc->setVisible(!loading);
        m_indicator->setVisible(loading);
        setEnabled(!loading);
        setDrawnOpacity(this, loading ? 0.65 : 1.0);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        beginPaint(painter);
        const QPainterPath shape = continuousRoundedRect(QRectF(rect()), 10);
        painter.fillPath(shape, Theme::text());
        if (showsKeyboardFocus(this))
            painter.strokePath(
                continuousRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 9), QPen(Theme::borderSelected(), 2));
        // The white disc under the mark, which keeps its colours readable on either fill.
        if (m_disc->isVisible()) {
            painter.setOpacity(1);
            painter.setBrush(Qt::white);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QRectF(m_disc->geometry()));
        }
    }

private:
    static constexpr int markSide = 17;
    static constexpr int markInset = 3;
    static constexpr int verticalPadding = 9;

    QWidget* m_disc;
    ActivityIndicator* m_indicator;
    ThemedLabel* m_title;
};

} // namespace

SignedOutWelcome::SignedOutWelcome(QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);

    column->addSpacing(18);
    column->addWidget(new AuthVisual(this));
    column->addSpacing(10);

    auto* welcome = new QVBoxLayout;
    welcome->setSpacing(9);
    auto* title = new ThemedLabel(QStringLiteral("Welcome to Velmora"), 20, QFont::Medium, &Theme::text, this);
    title->setHeading(true);
    title->setAlignment(Qt::AlignCenter);
    welcome->addWidget(title);
    auto* line = new ThemedLabel(QStringLiteral("Sign in to sync. Your local library stays yours."), 13, QFont::Normal,
        &Theme::textSecondary, this);
    line->setAlignment(Qt::AlignCenter);
    line->setWordWrap(true);
    welcome->addWidget(line);
    column->addLayout(welcome);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(8);
    auto* google = new GoogleButton(this);
    m_google = google;
    connect(google, &QAbstractButton::clicked, this, &SignedOutWelcome::googleRequested);
    buttons->addWidget(google);
    m_cancel = new AccountSecondaryButton(QStringLiteral("Cancel"), this);
    m_cancel->hide();
    connect(m_cancel, &QAbstractButton::clicked, this, &SignedOutWelcome::cancelRequested);
    buttons->addWidget(m_cancel);
    auto* offline = new AccountSecondaryButton(QStringLiteral("Continue offline"), this);
    connect(offline, &QAbstractButton::clicked, this, &SignedOutWelcome::offlineRequested);
    buttons->addWidget(offline);
    column->addLayout(buttons);

    m_notice = new AccountNotice(QString(), QStringLiteral("exclamationmark.circle"), true, this);
    m_notice->hide();
    column->addWidget(m_notice);
}

void SignedOutWelcome::setLoading(bool loading)
{
    static_cast<GoogleButton*>(m_google)->setLoading(loading);
}

void SignedOutWelcome::setWaitingForBrowser(bool waiting)
{
    m_cancel->setVisible(waiting);
}

void SignedOutWelcome::setNotice(const std::optional<QString>& message)
{
    m_notice->setMessage(message.value_or(QString()));
    m_notice->setVisible(message.has_value());
}
