#include "platform/MotionSettings.h"

namespace {

class FullMotion final : public MotionSettings {
public:
    bool reduceMotion() const override { return false; }
};

MotionSettings* installed = nullptr;

} // namespace

MotionSettings& MotionSettings::current()
{
    static FullMotion fallback;
    return installed ? *installed : fallback;
}

void MotionSettings::setCurrent(MotionSettings* settings)
{
    installed = settings;
}
