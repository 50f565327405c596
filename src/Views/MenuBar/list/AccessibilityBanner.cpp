#include "Views/MenuBar/list/AccessibilityBanner.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/TextButton.h"

#include <QHBoxLayout>
#include <QPainter>

AccessibilityBanner::AccessibilityBanner(QWidget* parent)
    : QWidget(parent)
    , m_enable(new TextButton(QStringLiteral("Enable"), 11, QFont::DemiBold, &Theme::textSecondary, this))
    , m_line(new ThemedLabel(QString(), 11, QFont::Normal, &Theme::textSecondary, this))
{
    m_enable->setAccessibleName(QStringLiteral("Enable text expansion in Linux Accessibility settings"));
    connect(m_enable, &TextButton::clicked, this, &AccessibilityBanner::enableRequested);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 14, 18, 14);
    row->setSpacing(10);
    row->addWidget(new SymbolLabel(QStringLiteral("keyboard"), 11, SymbolWeight::regular, &Theme::textSecondary, this), 0,
        Qt::AlignVCenter);
    row->addWidget(m_line, 1, Qt::AlignVCenter);
    showUnreachable(QString());
    row->addWidget(m_enable, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void AccessibilityBanner::showUnreachable(const QString& application)
{
    m_line->setText(application.isEmpty() ? QStringLiteral("Enable typing in other apps")
                                          : QStringLiteral("Velmora cannot type into %1").arg(application));
    m_enable->setVisible(application.isEmpty());
}

QString AccessibilityBanner::text() const
{
    return m_line->text();
}

void AccessibilityBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::surfaceGlass());
}
