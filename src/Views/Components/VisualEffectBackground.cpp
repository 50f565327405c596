#include "Views/Components/VisualEffectBackground.h"

#include "Utilities/Theme.h"
#include "platform/WindowEffects.h"

#include <QEvent>
#include <QPainter>
#include <QWindow>

VisualEffectBackground::VisualEffectBackground(Material material, BlendingMode blendingMode, QWidget* parent)
    : QWidget(parent)
    , m_material(material)
    , m_blendingMode(blendingMode)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    attachToWindow();
}

void VisualEffectBackground::setMaterial(Material material)
{
    if (material == m_material)
        return;
    m_material = material;
    update();
}

void VisualEffectBackground::setBlendingMode(BlendingMode blendingMode)
{
    if (blendingMode == m_blendingMode)
        return;
    m_blendingMode = blendingMode;
    makeWindowSeeThrough();
    updateBackdrop();
}

void VisualEffectBackground::setTint(ThemeColor tint)
{
    m_tint = tint;
    update();
}

QColor VisualEffectBackground::materialColor() const
{
    const bool dark = Theme::appearance() == Appearance::dark;
    QColor color = m_material == Material::hudWindow ? (dark ? QColor(0x28, 0x28, 0x2b) : QColor(0xf4, 0xf4, 0xf6))
                                                     : (dark ? QColor(0x2c, 0x2c, 0x2e) : QColor(0xf6, 0xf6, 0xf8));
    switch (m_backdrop) {
    case Backdrop::opaque: break;
    case Backdrop::translucent: color.setAlphaF(0.94f); break;
    case Backdrop::blurred: color.setAlphaF(0.72f); break;
    }
    return color;
}

bool VisualEffectBackground::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        attachToWindow();
    return QWidget::event(event);
}

void VisualEffectBackground::showEvent(QShowEvent* event)
{
    // A parent further up may have moved into another window since the last look.
    QWidget::showEvent(event);
    attachToWindow();
}

bool VisualEffectBackground::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Show)
        updateBackdrop();
    return QWidget::eventFilter(watched, event);
}

void VisualEffectBackground::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_backdrop != Backdrop::opaque)
        painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), materialColor());
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_tint)
        painter.fillRect(rect(), m_tint());
}

void VisualEffectBackground::attachToWindow()
{
    QWidget* top = window();
    if (top == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = top;
    m_window->installEventFilter(this);
    makeWindowSeeThrough();
    updateBackdrop();
}

void VisualEffectBackground::makeWindowSeeThrough()
{
    // Translucency is chosen with the window's visual, before its native window exists.
    if (m_blendingMode == BlendingMode::behindWindow && m_window && m_window != this && m_window->isWindow()
        && !m_window->testAttribute(Qt::WA_WState_Created) && WindowEffects::current().translucencyAvailable())
        m_window->setAttribute(Qt::WA_TranslucentBackground);
}

void VisualEffectBackground::updateBackdrop()
{
    Backdrop backdrop = Backdrop::opaque;
    if (m_blendingMode == BlendingMode::behindWindow && m_window && m_window != this
        && m_window->testAttribute(Qt::WA_TranslucentBackground)) {
        WindowEffects& effects = WindowEffects::current();
        backdrop = effects.blurAvailable() ? Backdrop::blurred : Backdrop::translucent;
        if (QWindow* handle = m_window->windowHandle())
            effects.setBlurBehind(*handle, backdrop == Backdrop::blurred);
    } else if (m_backdrop == Backdrop::blurred && m_window) {
        if (QWindow* handle = m_window->windowHandle())
            WindowEffects::current().setBlurBehind(*handle, false);
    }
    m_backdrop = backdrop;
    update();
}
