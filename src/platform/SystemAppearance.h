#pragma once

#include "Utilities/Theme.h"

#include <QObject>

// The light or dark appearance the desktop asks applications to use, followed while the
// application runs. It decides the popover's look while the theme setting is "system".
class SystemAppearance : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual Appearance appearance() const = 0;

Q_SIGNALS:
    void appearanceChanged(Appearance appearance);
};
