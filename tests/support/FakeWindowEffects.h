#pragma once

#include "platform/FloatingPicture.h"
#include "platform/OverlaySurface.h"
#include "platform/WindowEffects.h"

#include <QList>
#include <QPointer>
#include <utility>

class QWindow;

// An overlay surface that keeps the last picture it was given; the test speaks for the pointer
// through its signals.
class FakeOverlaySurface final : public OverlaySurface {
public:
    explicit FakeOverlaySurface(bool pointer)
        : takesPointer(pointer)
    {
    }

    void present(const QImage& image, const QPoint& at) override
    {
        picture = image;
        position = at;
    }
    void withdraw() override { picture = QImage(); }
    bool shown() const { return !picture.isNull(); }

    const bool takesPointer;
    QImage picture;
    QPoint position;
};

// A floating picture that keeps what it was asked to play.
class FakeFloatingPicture final : public FloatingPicture {
public:
    void play(const QImage& image, const QList<Frame>& path) override
    {
        picture = image;
        frames = path;
        ++plays;
    }

    QImage picture;
    QList<Frame> frames;
    int plays = 0;
};

// A window system as the test describes it. Installs itself for its lifetime.
class FakeWindowEffects final : public WindowEffects {
public:
    FakeWindowEffects(bool translucency, bool blur, bool nonFocusingOverlays = true)
        : m_translucency(translucency)
        , m_blur(blur)
        , m_nonFocusingOverlays(nonFocusingOverlays)
    {
        WindowEffects::setCurrent(this);
    }
    ~FakeWindowEffects() override { WindowEffects::setCurrent(nullptr); }

    bool translucencyAvailable() const override { return m_translucency; }
    bool blurAvailable() const override { return m_blur; }
    void setBlurBehind(QWindow& window, bool enabled) override { blurRequests.append({&window, enabled}); }
    bool nonFocusingOverlaysAvailable() const override { return m_nonFocusingOverlays; }
    bool overlaySurfacesAvailable() const override { return overlaySurfaces; }
    std::unique_ptr<OverlaySurface> createOverlaySurface(bool pointer) override
    {
        if (!overlaySurfaces)
            return nullptr;
        auto surface = std::make_unique<FakeOverlaySurface>(pointer);
        surfaces.append(surface.get());
        return surface;
    }

    FloatingPicture* floatingPicture() override { return floatingPictures ? &picture : nullptr; }

    QList<std::pair<QWindow*, bool>> blurRequests;
    // Whether floating pictures can be had, and the one there is.
    bool floatingPictures = false;
    FakeFloatingPicture picture;
    // Whether surfaces that never take the keyboard can be had, and those made.
    bool overlaySurfaces = false;
    QList<QPointer<FakeOverlaySurface>> surfaces;

private:
    bool m_translucency;
    bool m_blur;
    bool m_nonFocusingOverlays;
};
