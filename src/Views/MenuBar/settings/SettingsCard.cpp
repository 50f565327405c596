#include "Views/MenuBar/settings/SettingsCard.h"

#include "Utilities/Theme.h"
#include "Views/Components/HairlineDivider.h"
#include "Views/Components/ViewStyle.h"

#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int dividerInset = 16;

} // namespace

SettingsCard::SettingsCard(QWidget* parent)
    : QWidget(parent)
    , m_rows(new QVBoxLayout(this))
{
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void SettingsCard::addRow(QWidget* row)
{
    if (m_rows->count() > 0) {
        auto* inset = new QHBoxLayout;
        inset->setContentsMargins(dividerInset, 0, dividerInset, 0);
        inset->addWidget(new HairlineDivider(this));
        m_rows->addLayout(inset);
    }
    m_rows->addWidget(row);
}

void SettingsCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = continuousRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius);
    painter.fillPath(shape, Theme::surfaceGlass());
    painter.strokePath(shape, QPen(Theme::borderSubtle(), 1));
}
