#include "Views/Components/FloatingWindow.h"

#include "platform/OverlaySurface.h"
#include "platform/WindowEffects.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace {

constexpr const char* hostName = "velmora-overlay-host";
// How often a shown window is looked at for a change to draw anew: it asked to be repainted,
// or faded (which asks for no repaint).
constexpr int frameMilliseconds = 33;

// Keeps a window's picture on an overlay surface while the window is shown (a window shown
// only to Qt: nothing of it goes to the window system), and hands it the pointer the surface
// reports as a window would get it.
class OverlayHost final : public QObject {
public:
    OverlayHost(QWidget& window, std::unique_ptr<OverlaySurface> surface)
        : QObject(&window)
        , m_window(window)
        , m_surface(std::move(surface))
    {
        setObjectName(QLatin1String(hostName));
        m_frames.setInterval(frameMilliseconds);
        connect(&m_frames, &QTimer::timeout, this, [this] {
            if (m_changed || m_window.windowOpacity() != m_lastOpacity)
                draw();
        });
        window.installEventFilter(this);
        const OverlaySurface* reporter = m_surface.get();
        connect(reporter, &OverlaySurface::pointerEntered, this, [this](QPointF at) {
            QEnterEvent enter(at, at, globalAt(at));
            QCoreApplication::sendEvent(&m_window, &enter);
        });
        connect(reporter, &OverlaySurface::pointerLeft, this, [this] {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(&m_window, &leave);
        });
        connect(reporter, &OverlaySurface::pointerMoved, this,
            [this](QPointF at) { send(QEvent::MouseMove, at, Qt::NoButton); });
        connect(reporter, &OverlaySurface::buttonPressed, this, [this](QPointF at, Qt::MouseButton button) {
            m_buttons |= button;
            send(QEvent::MouseButtonPress, at, button);
        });
        connect(reporter, &OverlaySurface::buttonReleased, this, [this](QPointF at, Qt::MouseButton button) {
            m_buttons &= ~button;
            send(QEvent::MouseButtonRelease, at, button);
            if (!m_buttons)
                m_grabber.clear();
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &m_window)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            draw();
            m_frames.start();
            break;
        case QEvent::Hide:
            m_frames.stop();
            m_surface->withdraw();
            m_last = QImage();
            break;
        case QEvent::Move:
            // A window that only moved keeps its picture: the surface is only placed anew.
            if (m_window.isVisible()) {
                if (m_changed || m_last.isNull() || m_window.windowOpacity() != m_lastOpacity)
                    draw();
                else
                    place();
            }
            break;
        case QEvent::Resize:
            if (m_window.isVisible())
                draw();
            break;
        case QEvent::UpdateRequest:
            m_changed = true;
            break;
        default:
            break;
        }
        return false;
    }

private:
    QPointF globalAt(QPointF at) const { return QPointF(m_window.pos()) + at; }

    void draw()
    {
        const qreal ratio = m_window.devicePixelRatioF();
        QImage picture((QSizeF(m_window.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        {
            QPainter painter(&picture);
            painter.setOpacity(m_window.windowOpacity());
            const QRegion shape = m_window.mask().isEmpty() ? QRegion(m_window.rect()) : m_window.mask();
            m_window.render(&painter, QPoint(), shape, QWidget::DrawChildren);
        }
        m_changed = false;
        m_lastOpacity = m_window.windowOpacity();
        if (picture != m_last)
            m_last = picture;
        else if (m_window.pos() == m_lastPosition)
            return;
        m_lastPosition = m_window.pos();
        m_surface->present(m_last, m_lastPosition);
    }

    void place()
    {
        if (m_window.pos() == m_lastPosition)
            return;
        m_lastPosition = m_window.pos();
        m_surface->present(m_last, m_lastPosition);
    }

    // As the window system would: to the widget under the pointer, and while a button is held,
    // to the one the press went to.
    void send(QEvent::Type type, QPointF at, Qt::MouseButton button)
    {
        QWidget* target = m_grabber;
        if (!target) {
            target = m_window.childAt(at.toPoint());
            if (!target)
                target = &m_window;
        }
        if (type == QEvent::MouseButtonPress)
            m_grabber = target;
        const QPointF local = target->mapFrom(&m_window, at);
        QMouseEvent event(type, local, local, globalAt(at), button, m_buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    QWidget& m_window;
    std::unique_ptr<OverlaySurface> m_surface;
    QTimer m_frames;
    QImage m_last;
    QPoint m_lastPosition;
    qreal m_lastOpacity = 1;
    bool m_changed = false;
    Qt::MouseButtons m_buttons;
    QPointer<QWidget> m_grabber;
};

} // namespace

namespace FloatingWindow {

bool available()
{
    const WindowEffects& effects = WindowEffects::current();
    return effects.nonFocusingOverlaysAvailable() || effects.overlaySurfacesAvailable();
}

bool seeThrough()
{
    const WindowEffects& effects = WindowEffects::current();
    return effects.nonFocusingOverlaysAvailable() ? effects.translucencyAvailable() : effects.overlaySurfacesAvailable();
}

bool show(QWidget& window)
{
    WindowEffects& effects = WindowEffects::current();
    if (effects.nonFocusingOverlaysAvailable()) {
        window.show();
        return true;
    }
    if (!window.findChild<QObject*>(QLatin1String(hostName), Qt::FindDirectChildrenOnly)) {
        std::unique_ptr<OverlaySurface> surface
            = effects.createOverlaySurface(!window.windowFlags().testFlag(Qt::WindowTransparentForInput));
        if (!surface)
            return false;
        window.setAttribute(Qt::WA_DontShowOnScreen);
        new OverlayHost(window, std::move(surface));
    }
    window.show();
    return true;
}

} // namespace FloatingWindow
