#include "Views/MenuBar/list/ListEmptyState.h"

#include "Utilities/Theme.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/TextButton.h"
#include "Views/Components/ThemedLabel.h"

#include <QVBoxLayout>

ListEmptyState::ListEmptyState(bool searching, QWidget* parent)
    : QWidget(parent)
    , m_searching(searching)
    , m_symbol(new SymbolLabel(searching ? QStringLiteral("magnifyingglass") : QStringLiteral("text.badge.plus"), 28,
          SymbolWeight::light, &Theme::textMuted, this))
    , m_message(
          new ThemedLabel(searching ? QStringLiteral("No matches") : QStringLiteral("Your words, a shortcut away."), 14,
              QFont::Medium, &Theme::textMuted, this))
{
    m_message->setAlignment(Qt::AlignCenter);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 48, 18, 18);
    column->setSpacing(14);
    column->addWidget(m_symbol, 0, Qt::AlignHCenter);
    column->addWidget(m_message, 0, Qt::AlignHCenter);
    if (searching) {
        m_clear = new TextButton(QStringLiteral("Clear search"), 13, QFont::Normal, &Theme::text, this);
        connect(m_clear, &TextButton::clicked, this, &ListEmptyState::clearSearchRequested);
        column->addWidget(m_clear, 0, Qt::AlignHCenter);
    } else {
        m_add = glassButton(
            QStringLiteral("Add shortcut"), false, [this] { Q_EMIT addShortcutRequested(); }, this);
        m_add->setFixedWidth(addButtonWidth);
        column->addWidget(m_add, 0, Qt::AlignHCenter);
    }
    column->addStretch(1);
}
