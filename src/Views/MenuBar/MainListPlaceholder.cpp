#include "Views/MenuBar/MainListPlaceholder.h"

#include "App/AppState.h"
#include "Utilities/Theme.h"
#include "Views/Components/ThemedLabel.h"

#include <QVBoxLayout>

MainListPlaceholder::MainListPlaceholder(AppState& appState, QWidget* parent) : QWidget(parent), m_appState(appState)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(6);
    column->addWidget(new ThemedLabel(QStringLiteral("velmora"), 17, QFont::DemiBold, &Theme::text, this));
    m_summary = new ThemedLabel(QString(), 12, QFont::Normal, &Theme::textMuted, this);
    column->addWidget(m_summary);
    column->addStretch();
    connect(&appState, &AppState::userDataChanged, this, &MainListPlaceholder::refresh);
    refresh();
}

void MainListPlaceholder::refresh()
{
    const UserData& library = m_appState.userData();
    const auto count = [](qsizetype n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    m_summary->setText(count(library.shortcuts.size(), "shortcut", "shortcuts") + QStringLiteral(" · ")
                       + count(library.groups.size(), "folder", "folders"));
}
