#include "Views/MenuBar/account/AccountNotice.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

AccountNotice::AccountNotice(const QString& message, const QString& icon, bool isError, QWidget* parent)
    : QWidget(parent)
{
    const ThemeColor color = isError ? &Theme::danger : &Theme::textSecondary;
    m_icon = new SymbolLabel(icon, 13, SymbolWeight::regular, color, this);
    m_message = new ThemedLabel(message, 12, QFont::Normal, color, this);
    m_message->setWordWrap(true);
    m_message->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    // The symbol sits one pixel lower than the first line's top, level with its letters.
    auto* iconColumn = new QVBoxLayout;
    iconColumn->setContentsMargins(0, 1, 0, 0);
    iconColumn->addWidget(m_icon);
    iconColumn->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(9);
    row->addLayout(iconColumn);
    row->addWidget(m_message, 1, Qt::AlignTop);
    setAccessibleName(message);
}

QString AccountNotice::message() const
{
    return m_message->text();
}

void AccountNotice::setMessage(const QString& message)
{
    m_message->setText(message);
    setAccessibleName(message);
}
