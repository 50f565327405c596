#pragma once

#include "platform/WindowEffects.h"

#include <QList>
#include <utility>

class QWindow;

// A window system as the test describes it. Installs itself for its lifetime.
class FakeWindowEffects final : public WindowEffects {
public:
    FakeWindowEffects(bool translucency, bool blur)
        : m_translucency(translucency)
        , m_blur(blur)
    {
        WindowEffects::setCurrent(this);
    }
    ~FakeWindowEffects() override { WindowEffects::setCurrent(nullptr); }

    bool translucencyAvailable() const override { return m_translucency; }
    bool blurAvailable() const override { return m_blur; }
    void setBlurBehind(QWindow& window, bool enabled) override { blurRequests.append({&window, enabled}); }

    QList<std::pair<QWindow*, bool>> blurRequests;

private:
    bool m_translucency;
    bool m_blur;
};
