#include "Views/Components/FolderNameLine.h"

#include "Views/Components/ClampedTextLabel.h"
#include "Views/Components/FolderIconView.h"

#include <QHBoxLayout>

FolderNameLine::FolderNameLine(int pixelSize, QFont::Weight weight, ThemeColor color, QWidget* parent)
    : QWidget(parent)
    , m_icon(new FolderIconView(std::nullopt, pixelSize + 1, {}, this))
    , m_name(new ClampedTextLabel(QString(), pixelSize, weight, color, 1, this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_icon->setColor(color);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    row->addWidget(m_icon, 0, Qt::AlignVCenter);
    row->addWidget(m_name, 1, Qt::AlignVCenter);
}

void FolderNameLine::setFolder(
    const QString& name, const std::optional<QString>& icon, const QList<CustomIcon>& customIcons)
{
    m_icon->setIcon(icon);
    m_icon->setCustomIcons(customIcons);
    m_name->setText(name);
}

QString FolderNameLine::text() const
{
    return m_name->text();
}

const std::optional<QString>& FolderNameLine::icon() const
{
    return m_icon->icon();
}
