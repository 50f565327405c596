#include "Views/Components/ScreenHeader.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"

#include <QHBoxLayout>

ScreenHeader::ScreenHeader(const QString& title, std::function<void()> onBack, QWidget* parent)
    : QWidget(parent)
    , m_back(new SymbolButton(
          QStringLiteral("chevron.left"), 13, SymbolWeight::medium, &Theme::textSecondary, QSize(28, 28), this))
    , m_title(new ThemedLabel(title, 17, QFont::Medium, &Theme::text, this))
{
    const QString backText = QStringLiteral("Back to shortcuts");
    m_back->setCircleFill(&Theme::surfaceGlass);
    m_back->setToolTip(backText);
    m_back->setAccessibleName(backText);
    connect(m_back, &SymbolButton::clicked, this, [onBack = std::move(onBack)] {
        if (onBack)
            onBack();
    });
    m_title->setHeading(true);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 18, 18, 10);
    row->setSpacing(10);
    row->addWidget(m_back, 0, Qt::AlignVCenter);
    row->addWidget(m_title, 0, Qt::AlignVCenter);
    row->addStretch(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}
