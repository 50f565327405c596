#pragma once

#include <QObject>

// Whether the desktop asks applications to keep motion to a minimum (an accessibility
// setting). Views read it at the moment they would animate and change at once instead.
// The Linux back end reads the desktop's setting; without one installed nothing is reduced.
class MotionSettings : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool reduceMotion() const = 0;

    static MotionSettings& current();
    // Installs `settings` (not owned); nullptr restores the default that reduces nothing.
    static void setCurrent(MotionSettings* settings);

Q_SIGNALS:
    void reduceMotionChanged(bool reduce);
};
