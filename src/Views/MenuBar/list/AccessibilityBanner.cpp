#include "Views/MenuBar/list/AccessibilityBanner.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/TextButton.h"
#include "Views/Components/ThemedLabel.h"

#include <QHBoxLayout>
#include <QPainter>

namespace {
const QString offer = QStringLiteral("Enable typing in other apps");
}

AccessibilityBanner::AccessibilityBanner(QWidget* parent)
    : QWidget(parent)
    , m_enable(new TextButton(QStringLiteral("Enable"), 11, QFont::DemiBold, &Theme::textSecondary, this))
    , m_message(new ThemedLabel(offer, 11, QFont::Normal, &Theme::textSecondary, this))
{
    m_message->setWordWrap(true);
    m_enable->setAccessibleName(QStringLiteral("Enable text expansion in Linux Accessibility settings"));
    connect(m_enable, &TextButton::clicked, this, &AccessibilityBanner::enableRequested);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 14, 18, 14);
    row->setSpacing(10);
    row->addWidget(new SymbolLabel(QStringLiteral("keyboard"), 11, SymbolWeight::regular, &Theme::textSecondary, this),
        0, Qt::AlignVCenter);
    row->addWidget(m_message, 1, Qt::AlignVCenter);
    row->addWidget(m_enable, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void AccessibilityBanner::setReason(const QString& reason, bool canEnable)
{
    m_message->setText(canEnable || reason.isEmpty() ? offer : reason);
    m_enable->setVisible(canEnable);
}

void AccessibilityBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::surfaceGlass());
}
