#include "App/Shell/StatusItem.h"

#include "App/State/StatusItemIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

StatusItem::StatusItem(QMenu* menu, QObject* parent)
    : QObject(parent)
    , m_tray(new QSystemTrayIcon(this))
{
    setAppearance(Appearance::light);
    m_tray->setToolTip(QStringLiteral("Velmora"));
    m_tray->setContextMenu(menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Q_EMIT clicked();
    });
    m_tray->show();
}

StatusItem::~StatusItem() = default;

void StatusItem::setAppearance(Appearance appearance)
{
    const bool dark = appearance == Appearance::dark;
    const QColor ink = dark ? QColor(0xF5, 0xF5, 0xF5) : QColor(0x1C, 0x1C, 0x1E);
    QColor halo = dark ? QColor(Qt::black) : QColor(Qt::white);
    halo.setAlphaF(0.55);
    m_tray->setIcon(StatusItemIcon::icon(ink, halo));
}

QRect StatusItem::geometry() const
{
    return anchorFrom(m_tray->geometry());
}

QRect StatusItem::anchorFrom(const QRect& reported)
{
    if (!reported.isValid() || reported.topLeft() == QPoint(0, 0))
        return {};
    return reported;
}
