#pragma once

#include "Utilities/Theme.h"

#include <QObject>
#include <QRect>

class QMenu;
class QSystemTrayIcon;

// Velmora's item in the desktop's tray. A left click asks for the popover; a right click
// opens the status menu, which the tray shows itself.
class StatusItem : public QObject {
    Q_OBJECT
public:
    explicit StatusItem(QMenu* menu, QObject* parent = nullptr);
    ~StatusItem() override;

    // Draws the mark for panels of that brightness.
    void setAppearance(Appearance appearance);

    // Where the tray shows the item, in global coordinates; empty when the tray does not
    // tell (trays that draw the item themselves) or there is no tray.
    QRect geometry() const;
    // `reported` as an anchor for the popover: an icon that an XEmbed tray has not embedded
    // yet (just after start-up) reports its own size at the screen's origin, which is no
    // place at all; that and an empty rect give an empty anchor (the pointer is used).
    static QRect anchorFrom(const QRect& reported);

Q_SIGNALS:
    void clicked();

private:
    QSystemTrayIcon* m_tray;
};
