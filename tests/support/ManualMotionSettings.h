#pragma once

#include "platform/MotionSettings.h"

// A motion setting the test switches by hand. Installs itself as the current one for its
// lifetime.
class ManualMotionSettings final : public MotionSettings {
public:
    explicit ManualMotionSettings(bool reduce = false)
        : m_reduce(reduce)
    {
        MotionSettings::setCurrent(this);
    }
    ~ManualMotionSettings() override { MotionSettings::setCurrent(nullptr); }

    bool reduceMotion() const override { return m_reduce; }
    void setReduceMotion(bool reduce)
    {
        m_reduce = reduce;
        Q_EMIT reduceMotionChanged(reduce);
    }

private:
    bool m_reduce;
};
