#include "Views/MenuBar/list/DuplicateTriggerBanner.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/TextButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/list/CardTexts.h"

#include <QHBoxLayout>

DuplicateTriggerBanner::DuplicateTriggerBanner(QWidget* parent)
    : QWidget(parent)
    , m_message(new ThemedLabel(QString(), 12, QFont::Normal, &Theme::textSecondary, this))
    , m_button(new TextButton(QString(), 12, QFont::Medium, &Theme::textSecondary, this))
{
    setToolTip(
        QStringLiteral("These shortcuts are preserved. Give each trigger a unique name to enable its expansion."));
    connect(m_button, &TextButton::clicked, this, &DuplicateTriggerBanner::reviewToggled);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 10, 18, 10);
    row->setSpacing(8);
    row->addWidget(
        new SymbolLabel(QStringLiteral("equal.circle"), 12, SymbolWeight::regular, &Theme::textSecondary, this), 0,
        Qt::AlignVCenter);
    row->addWidget(m_message, 0, Qt::AlignVCenter);
    // Flexible, but never closer than 4 pixels.
    row->addSpacerItem(new QSpacerItem(4, 0, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));
    row->addWidget(m_button, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DuplicateTriggerBanner::setState(qsizetype count, bool reviewing)
{
    m_message->setText(CardTexts::duplicateTriggers(count));
    m_button->setTitle(reviewing ? QStringLiteral("Show all") : QStringLiteral("Review"));
}
