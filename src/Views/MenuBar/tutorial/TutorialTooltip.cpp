#include "Views/MenuBar/tutorial/TutorialTooltip.h"

#include "Services/TutorialManager.h"
#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/PaintedButton.h"
#include "Views/Components/TextButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/tutorial/TutorialChrome.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int padding = 14;
constexpr int rowSpacing = 10;

// The footer's primary button: its title on a capsule of the text colour.
class CapsuleButton final : public PaintedButton {
public:
    explicit CapsuleButton(QWidget* parent)
        : PaintedButton(QString(), parent)
    {
        setFont(uiFont(12, QFont::Medium));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(text()) + 32, fontMetrics().height() + 12};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        beginPaint(painter);
        const QRectF bounds = QRectF(rect());
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::text());
        painter.drawRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
        if (showsKeyboardFocus(this)) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(Theme::borderSelected(), 2));
            painter.drawRoundedRect(bounds.adjusted(1, 1, -1, -1), bounds.height() / 2 - 1, bounds.height() / 2 - 1);
        }
        painter.setPen(Theme::onAccent());
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

} // namespace

TutorialTooltip::TutorialTooltip(TutorialManager& tutorial, QWidget* parent)
    : QWidget(parent)
    , m_tutorial(tutorial)
{
    AccessibleRoles::setRole(this, QAccessible::Dialog);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(rowSpacing);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->setSpacing(6);
    QLabel* wordmark = tutorialWordmark(this);
    m_counter = new ThemedLabel(QString(), 10, QFont::Medium, &Theme::textMuted, this);
    m_counter->setFont(uiFont(10, QFont::Medium, true));
    m_close = tutorialCloseButton(&Theme::textSecondary, this);
    header->addWidget(wordmark);
    header->addStretch(1);
    header->addWidget(m_counter);
    header->addWidget(m_close);
    column->addLayout(header);

    m_title = new ThemedLabel(QString(), 14, QFont::Medium, &Theme::text, this);
    m_title->setWordWrap(true);
    m_title->setHeading(true);
    column->addWidget(m_title);
    m_message = new ThemedLabel(QString(), 12, QFont::Normal, &Theme::textSecondary, this);
    m_message->setWordWrap(true);
    column->addWidget(m_message);

    m_footer = new QWidget(this);
    auto* footer = new QHBoxLayout(m_footer);
    footer->setContentsMargins(0, 4, 0, 0);
    // Named before the first step names them: a hidden card is still in the accessibility tree.
    m_secondary = new TextButton(QStringLiteral("Skip"), 12, QFont::Normal, &Theme::textSecondary, m_footer);
    m_secondary->setAccessibleName(QStringLiteral("Skip"));
    m_secondary->setCursor(Qt::PointingHandCursor);
    m_primary = new CapsuleButton(m_footer);
    m_primary->setAccessibleName(QStringLiteral("Next"));
    footer->addWidget(m_secondary);
    footer->addStretch(1);
    footer->addWidget(m_primary);
    column->addWidget(m_footer);

    using Advance = TutorialStep::AdvanceMode;
    connect(m_close, &QAbstractButton::clicked, this, [this] { m_tutorial.skip(); });
    connect(m_secondary, &QAbstractButton::clicked, this, [this] {
        if (m_advance == Advance::tryShortcut)
            m_tutorial.complete();
        else
            m_tutorial.skip();
    });
    connect(m_primary, &QAbstractButton::clicked, this, [this] { m_tutorial.next(); });
}

void TutorialTooltip::showStep(const TutorialStep& step, int index, const QString& trigger)
{
    using Advance = TutorialStep::AdvanceMode;
    m_advance = step.advance;
    m_counter->setText(QStringLiteral("%1 / %2").arg(index + 1).arg(shownSteps));
    m_title->setText(step.title);
    setAccessibleName(step.title);
    QString message = step.message;
    m_message->setText(message.replace(QStringLiteral("{TRIGGER}"), trigger));
    const bool tryIt = step.advance == Advance::tryShortcut;
    m_footer->setVisible(step.advance == Advance::tapToContinue || tryIt);
    const QString secondary = tryIt ? QStringLiteral("Done") : QStringLiteral("Skip");
    const QString primary = tryIt ? QStringLiteral("Try in ChatGPT \u2197")
        : index == 0              ? QStringLiteral("Show me")
                                  : QStringLiteral("Next");
    m_secondary->setTitle(secondary);
    m_secondary->setAccessibleName(secondary);
    m_primary->setText(primary);
    m_primary->setAccessibleName(primary);
    m_primary->updateGeometry();
    layout()->invalidate();
}

int TutorialTooltip::cardHeight() const
{
    return layout()->totalHeightForWidth(cardWidth);
}

QAbstractButton* TutorialTooltip::secondaryButton() const
{
    return m_secondary;
}

QString TutorialTooltip::counterText() const
{
    return m_counter->text();
}

void TutorialTooltip::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void TutorialTooltip::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}
