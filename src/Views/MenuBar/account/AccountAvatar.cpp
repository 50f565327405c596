#include "Views/MenuBar/account/AccountAvatar.h"

#include "Services/ProfilePictureLoader.h"
#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>

namespace {

QString firstGrapheme(const QString& text)
{
    if (text.isEmpty())
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    const qsizetype end = finder.toNextBoundary();
    return text.left(end > 0 ? end : text.size());
}

} // namespace

AccountAvatar::AccountAvatar(QWidget* parent)
    : QWidget(parent)
    , m_loader(new ProfilePictureLoader({}, this))
{
    setFixedSize(side, side);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

AccountAvatar::~AccountAvatar() = default;

void AccountAvatar::setTransport(SupabaseHTTPClient::Transport transport)
{
    delete m_loader;
    m_loader = new ProfilePictureLoader(std::move(transport), this);
}

QString AccountAvatar::initialChar(const std::optional<AuthUser>& user)
{
    QString source = QStringLiteral("?");
    if (user && user->user_metadata && user->user_metadata->full_name)
        source = *user->user_metadata->full_name;
    else if (user && user->email)
        source = *user->email;
    return firstGrapheme(source).toUpper();
}

void AccountAvatar::setUser(const std::optional<AuthUser>& user)
{
    m_initial = initialChar(user);
    setAccessibleName(m_initial);
    const QString address
        = user && user->user_metadata ? user->user_metadata->avatar_url.value_or(QString()) : QString();
    update();
    if (address == m_address)
        return;
    m_address = address;
    m_picture = QImage();
    m_loader->load(address, [this](const QImage& picture) {
        m_picture = picture;
        update();
        Q_EMIT pictureSettled();
    });
}

void AccountAvatar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF circle = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath clip;
    clip.addEllipse(circle);
    if (!m_picture.isNull()) {
        // Fills the circle keeping its proportions; what overflows is cut by the circle.
        const QSizeF filled = QSizeF(m_picture.size()).scaled(circle.size(), Qt::KeepAspectRatioByExpanding);
        const QRectF target(circle.center() - QPointF(filled.width() / 2, filled.height() / 2), filled);
        painter.save();
        painter.setClipPath(clip);
        painter.drawImage(target, m_picture);
        painter.restore();
    } else {
        painter.fillPath(clip, Theme::surfaceGlass());
        painter.setPen(Theme::text());
        // A name may begin with an emoji, which reads in colour.
        const bool symbol = !m_initial.isEmpty() && !m_initial.front().isLetterOrNumber();
        painter.setFont(symbol ? emojiFont(24) : uiFont(24, QFont::Light));
        painter.drawText(rect(), Qt::AlignCenter, symbol ? emojiGlyphs(m_initial) : m_initial);
    }
    painter.setPen(QPen(Theme::borderSubtle(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle);
}
