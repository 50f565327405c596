#include "platform/WindowEffects.h"

namespace {
class OpaqueWindows final : public WindowEffects {
public:
    bool translucencyAvailable() const override { return false; }
    bool blurAvailable() const override { return false; }
    void setBlurBehind(QWindow&, bool) override { }
};

WindowEffects* g_current = nullptr;
} // namespace

WindowEffects& WindowEffects::current()
{
    static OpaqueWindows opaque;
    return g_current ? *g_current : opaque;
}

void WindowEffects::setCurrent(WindowEffects* effects)
{
    g_current = effects;
}
