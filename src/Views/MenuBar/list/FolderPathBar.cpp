#include "Views/MenuBar/list/FolderPathBar.h"

#include "App/State/AppState.h"
#include "Utilities/Theme.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/TextButton.h"
#include "Views/Components/ThemedLabel.h"

#include <QHBoxLayout>
#include <algorithm>

FolderPathBar::FolderPathBar(AppState& appState, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_back(new SymbolButton(
          QStringLiteral("chevron.left"), 12, SymbolWeight::medium, &Theme::textMuted, QSize(32, 32), this))
    , m_row(new QHBoxLayout(this))
{
    m_back->setAccessibleName(QStringLiteral("Back"));
    connect(m_back, &SymbolButton::clicked, this, &FolderPathBar::goBack);
    m_row->setContentsMargins(18, 5, 18, 5);
    m_row->setSpacing(5);
    m_row->addWidget(m_back, 0, Qt::AlignVCenter);
    m_row->addStretch(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    refresh();
}

void FolderPathBar::goBack()
{
    const std::optional<QString> open = m_appState.currentGroupId();
    const Group* folder = open ? m_appState.userData().group(*open) : nullptr;
    m_appState.setCurrentGroupId(folder ? folder->parentGroupId : std::nullopt);
}

void FolderPathBar::refresh()
{
    // A crumb may be the sender of the change that rebuilds the path: it goes later.
    const auto retire = [](QWidget* old) {
        old->hide();
        old->deleteLater();
    };
    std::for_each(m_crumbs.cbegin(), m_crumbs.cend(), retire);
    std::for_each(m_separators.cbegin(), m_separators.cend(), retire);
    m_crumbs.clear();
    m_separators.clear();
    // Between the back button and the closing stretch.
    int position = 1;
    for (const Group& group : m_appState.breadcrumbs()) {
        auto* crumb = new TextButton(group.name, 12, QFont::Light, &Theme::textSecondary, this);
        crumb->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        connect(crumb, &TextButton::clicked, this, [this, id = group.id] { m_appState.setCurrentGroupId(id); });
        m_row->insertWidget(position++, crumb, 0, Qt::AlignVCenter);
        m_crumbs.append(crumb);
        if (group.id != m_appState.currentGroupId()) {
            auto* separator = new ThemedLabel(QStringLiteral("›"), 11, QFont::Normal, &Theme::textMuted, this);
            m_row->insertWidget(position++, separator, 0, Qt::AlignVCenter);
            m_separators.append(separator);
        }
    }
}
