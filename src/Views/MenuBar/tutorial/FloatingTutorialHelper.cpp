#include "Views/MenuBar/tutorial/FloatingTutorialHelper.h"

#include "Utilities/Theme.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/tutorial/TutorialChrome.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

// The trigger to type, in monospaced type on a small glass chip.
class TriggerChip final : public ThemedLabel {
public:
    TriggerChip(const QString& trigger, QWidget* parent)
        : ThemedLabel(trigger, 12, QFont::Medium, &Theme::text, parent)
    {
        setFont(uiFont(12, QFont::Medium, true));
        setContentsMargins(7, 3, 7, 3);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPainterPath chip = continuousRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5);
        painter.fillPath(chip, Theme::surfaceGlassSelected());
        // Outlined as well: on the light panel the glass alone barely shows.
        painter.strokePath(chip, QPen(Theme::borderSubtle(), 1));
        painter.end();
        ThemedLabel::paintEvent(event);
    }
};

} // namespace

FloatingTutorialHelper::FloatingTutorialHelper(
    const QStringList& triggers, const std::function<void()>& onSkip, QWidget* parent)
    : TutorialPanel(panelSize, parent)
    , m_trigger(triggers.isEmpty() ? QStringLiteral("/hello") : triggers.first())
{
    setWindowTitle(QStringLiteral("Velmora tutorial"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 12, 12, 16);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    QLabel* wordmark = tutorialWordmark(this);
    m_close = tutorialCloseButton(&Theme::text, this);
    header->addWidget(wordmark);
    header->addStretch(1);
    header->addWidget(m_close);
    column->addLayout(header);

    auto* instruction = new QHBoxLayout;
    instruction->setSpacing(6);
    instruction->addWidget(new ThemedLabel(QStringLiteral("Type"), 12, QFont::Normal, &Theme::text, this));
    instruction->addWidget(new TriggerChip(m_trigger, this));
    instruction->addWidget(
        new ThemedLabel(QStringLiteral("in the message field."), 12, QFont::Normal, &Theme::text, this));
    instruction->addStretch(1);
    column->addLayout(instruction);

    auto* hint = new ThemedLabel(QStringLiteral("Finish the shortcut. Your saved text appears automatically."), 11,
        QFont::Normal, &Theme::textSecondary, this);
    hint->setWordWrap(true);
    column->addWidget(hint);
    column->addStretch(1);

    connect(m_close, &QAbstractButton::clicked, this, [onSkip] { onSkip(); });
    connect(this, &TutorialPanel::closeRequested, this, [onSkip] { onSkip(); });
}
