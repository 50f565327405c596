#include "Views/TimeSavedFloater.h"

#include "Utilities/Color.h"
#include "Utilities/TimeText.h"
#include "Views/Components/FloatingWindow.h"
#include "Views/Components/WindowShape.h"
#include "platform/FloatingPicture.h"
#include "platform/WindowEffects.h"

#include <QCursor>
#include <QGraphicsDropShadowEffect>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QRegion>
#include <cmath>

TimeSavedFloater& TimeSavedFloater::shared()
{
    static TimeSavedFloater floater;
    return floater;
}

std::optional<QString> TimeSavedFloater::text(double timeSaved)
{
    if (!(timeSaved > 0) || !std::isfinite(timeSaved))
        return std::nullopt;
    if (timeSaved < 60)
        return QString::asprintf("+%.1fs saved", timeSaved);
    const qint64 seconds = TimeText::wholeSeconds(timeSaved);
    const qint64 minutes = seconds / 60;
    const qint64 rest = seconds - 60 * minutes;
    if (rest == 0)
        return QStringLiteral("+%1m saved").arg(minutes);
    return QStringLiteral("+%1m %2s saved").arg(minutes).arg(rest);
}

double TimeSavedFloater::opacityAt(double progress)
{
    return progress < 0.7 ? 1.0 : std::max(0.0, 1.0 - (progress - 0.7) / 0.3);
}

void TimeSavedFloater::show(double timeSaved)
{
    const std::optional<QString> label = text(timeSaved);
    if (!label || !FloatingWindow::available())
        return;
    Scheduler::current().after(0, this, [this, t = *label] { createAndAnimate(t); });
}

QWidget* TimeSavedFloater::window() const
{
    return m_window && m_window->isVisible() ? m_window.data() : nullptr;
}

QWidget* TimeSavedFloater::makeWindow()
{
    auto* window = new QWidget(nullptr,
        Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput
            | Qt::WindowDoesNotAcceptFocus);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    // Its content is drawn once per text; the rise moves the whole window, which the window
    // system (or the compositor) shows again without anything of ours being repainted.
    window->setFixedSize(width, height);
    auto* label = new QLabel(window);
    label->setGeometry(0, 0, width, height);
    m_window = window;
    m_label = label;
    return window;
}

namespace {
// The text with its shadow, drawn once: blurring the shadow and laying out the text again at
// each step of the rise would cost more than the rest of an expansion.
QImage renderedText(const QString& text, const QSize& size, qreal pixelRatio)
{
    // A graphics effect applies to a widget inside a window, not to a window itself.
    QWidget frame;
    frame.resize(size);
    auto& label = *new QLabel(text, &frame);
    label.resize(size);
    label.setTextFormat(Qt::PlainText);
    label.setAlignment(Qt::AlignCenter);
    QFont font = label.font();
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    label.setFont(font);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, colorFromHex(u"#E2725B"));
    label.setPalette(palette);
    auto* shadow = new QGraphicsDropShadowEffect(&label);
    shadow->setColor(QColor(0, 0, 0, 128));
    shadow->setBlurRadius(6);
    shadow->setOffset(0, 1);
    label.setGraphicsEffect(shadow);
    QImage image(size * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    frame.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}
} // namespace

void TimeSavedFloater::createAndAnimate(const QString& text)
{
    m_steps.cancel();
    QWidget* window = m_window ? m_window.data() : makeWindow();
    const QPoint pointer = QCursor::pos();
    const qreal pixelRatio = window->devicePixelRatioF();
    if (text != m_drawnText || m_drawn.devicePixelRatio() != pixelRatio) {
        m_drawn = renderedText(text, m_label->size(), pixelRatio);
        m_drawnText = text;
        m_shape = WindowShape::opaquePart(m_drawn);
        m_label->setPixmap(QPixmap::fromImage(m_drawn));
        // Read by screen readers as the text it shows.
        m_label->setAccessibleName(text);
    }
    if (window->windowOpacity() != 1.0)
        window->setWindowOpacity(1.0);

    // The label starts centred on the pointer, its bottom edge 10 px above it.
    m_start = QPoint(pointer.x() - width / 2, pointer.y() - 10 - height);
    window->move(m_start);
    WindowEffects& effects = WindowEffects::current();
    if (FloatingPicture* picture = effects.nonFocusingOverlaysAvailable() ? effects.floatingPicture() : nullptr) {
        play(*picture, *window);
        return;
    }
    // Without a compositor the clear background would be a black box around the text, so the
    // window is cut to the text; the cut moves with the window.
    if (!FloatingWindow::seeThrough()) {
        if (window->mask() != m_shape)
            window->setMask(m_shape);
    } else if (!window->mask().isEmpty()) {
        window->clearMask();
    }
    if (!window->isVisible() && !FloatingWindow::show(*window)) {
        delete window;
        return;
    }
    m_step = 0;
    m_steps = Scheduler::current().every(stepInterval, this, [this] { step(); });
}

void TimeSavedFloater::play(FloatingPicture& picture, QWidget& window)
{
    // The window system moves the picture at each step; the window stays with Qt only, where
    // screen readers find the label while it shows.
    if (!window.isVisible()) {
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
    }
    QList<FloatingPicture::Frame> frames;
    frames.reserve(steps + 1);
    for (int i = 0; i <= steps; ++i) {
        const double p = double(i) / steps;
        frames.append({i * stepInterval, m_start - QPoint(0, int(std::lround(rise * p))), opacityAt(p)});
    }
    picture.play(m_drawn, frames);
    m_steps = Scheduler::current().after(steps * stepInterval, this, [this] {
        if (m_window)
            m_window->hide();
    });
}

void TimeSavedFloater::step()
{
    if (!m_window) {
        m_steps.cancel();
        return;
    }
    const int index = ++m_step;
    const double p = double(index) / steps;
    m_window->move(m_start.x(), m_start.y() - int(std::lround(rise * p)));
    // Fully opaque for most of the way: the window system is asked only as it fades.
    if (const double opacity = opacityAt(p); opacity != m_window->windowOpacity())
        m_window->setWindowOpacity(opacity);
    if (index >= steps) {
        m_steps.cancel();
        m_window->hide();
    }
}
