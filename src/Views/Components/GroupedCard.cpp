#include "Views/Components/GroupedCard.h"

#include "Utilities/Theme.h"
#include "Views/Components/HairlineDivider.h"
#include "Views/Components/ViewStyle.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

GroupedCard::GroupedCard(QWidget* parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void GroupedCard::addRow(QWidget* row)
{
    if (m_rows > 0) {
        auto* inset = new QWidget(this);
        auto* line = new QHBoxLayout(inset);
        line->setContentsMargins(dividerInset, 0, 0, 0);
        line->addWidget(new HairlineDivider(inset));
        m_layout->addWidget(inset);
    }
    row->setParent(this);
    m_layout->addWidget(row);
    ++m_rows;
}

void GroupedCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    const QPainterPath shape = continuousRoundedRect(bounds, radius);
    painter.fillPath(shape, Theme::surfaceGlass());
    painter.strokePath(shape, QPen(Theme::borderSubtle(), 0.5));
}
