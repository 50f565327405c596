#include "Views/MenuBar/tutorial/CelebrationView.h"

#include "Utilities/Theme.h"
#include "Views/Components/Motion.h"
#include "Views/Components/ScaleFadeEffect.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/TextButton.h"
#include "Views/Components/ThemedLabel.h"

#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

// The check mark on a glass disc.
class CheckBadge final : public QWidget {
public:
    explicit CheckBadge(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(44, 44);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Theme::borderSubtle(), 1));
        painter.setBrush(Theme::surfaceGlassSelected());
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        const int side = SymbolIcon::sideFor(20);
        SymbolIcon::paint(painter, QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side), u"checkmark",
            Theme::text(), SymbolWeight::medium);
    }
};

} // namespace

CelebrationView::CelebrationView(QWidget* parent)
    : TutorialPanel(panelSize, parent)
{
    setWindowTitle(QStringLiteral("Velmora"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_content = new QWidget(this);
    outer->addWidget(m_content);

    auto* column = new QVBoxLayout(m_content);
    column->setSpacing(8);
    column->addStretch(1);
    column->addWidget(new CheckBadge(m_content), 0, Qt::AlignHCenter);
    auto* headline
        = new ThemedLabel(QStringLiteral("A little typing. A lot said."), 17, QFont::Medium, &Theme::text, m_content);
    headline->setAlignment(Qt::AlignCenter);
    column->addWidget(headline);
    auto* detail = new ThemedLabel(
        QStringLiteral("Your shortcut expanded."), 13, QFont::Normal, &Theme::textSecondary, m_content);
    detail->setAlignment(Qt::AlignCenter);
    column->addWidget(detail);
    auto* done = new TextButton(QStringLiteral("Done"), 12, QFont::Normal, &Theme::textSecondary, m_content);
    done->setCursor(Qt::PointingHandCursor);
    m_done = done;
    auto* doneRow = new QVBoxLayout;
    doneRow->setContentsMargins(0, 8, 0, 0);
    doneRow->addWidget(m_done, 0, Qt::AlignHCenter);
    column->addLayout(doneRow);
    column->addStretch(1);

    connect(m_done, &QAbstractButton::clicked, this, &QWidget::hide);
}

void CelebrationView::showEvent(QShowEvent* event)
{
    TutorialPanel::showEvent(event);
    if (m_shownText || Motion::reduced())
        return;
    m_shownText = true;
    auto* effect = new ScaleFadeEffect(startScale, m_content);
    effect->setProgress(0);
    m_content->setGraphicsEffect(effect);
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(int(fadeInSeconds * 1000));
    animation->setEasingCurve(Motion::easeOut());
    connect(animation, &QVariantAnimation::valueChanged, effect,
        [effect](const QVariant& value) { effect->setProgress(value.toReal()); });
    connect(animation, &QVariantAnimation::finished, m_content, [this] { m_content->setGraphicsEffect(nullptr); });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
