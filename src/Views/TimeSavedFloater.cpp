#include "Views/TimeSavedFloater.h"

#include "Utilities/Color.h"
#include "Utilities/Scheduler.h"
#include "Utilities/TimeText.h"
#include "Views/Components/FloatingWindow.h"
#include "Views/Components/WindowShape.h"

#include <QCursor>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
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

void TimeSavedFloater::createAndAnimate(const QString& text)
{
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
        m_window.clear();
    }
    const QPoint pointer = QCursor::pos();

    auto* window = new QWidget(nullptr,
        Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput
            | Qt::WindowDoesNotAcceptFocus);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    // The window covers the whole way up and stays put: the label rises inside it, so each
    // step only repaints instead of asking the window system to move a window.
    window->setFixedSize(width, height + rise);
    auto* label = new QLabel(text, window);
    label->setGeometry(0, rise, width, height);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colorFromHex(u"#E2725B"));
    label->setPalette(palette);
    auto* shadow = new QGraphicsDropShadowEffect(label);
    shadow->setColor(QColor(0, 0, 0, 128));
    shadow->setBlurRadius(6);
    shadow->setOffset(0, 1);
    label->setGraphicsEffect(shadow);

    // The label starts centred on the pointer, its bottom edge 10 px above it.
    window->move(pointer.x() - width / 2, pointer.y() - 10 - height - rise);
    // Without a compositor the clear background would be a black box around the text, so the
    // window is cut to the label wherever it stands.
    const bool cut = !FloatingWindow::seeThrough();
    if (cut)
        WindowShape::fitToContent(*window);
    if (!FloatingWindow::show(*window)) {
        delete window;
        return;
    }
    m_window = window;

    // Each animation steers only its own window: a newer floater that replaced it is never
    // touched by this one's later steps. The label keeps its shape as it rises, so the cut
    // made at the start is moved with it rather than drawn again at each step.
    const QPointer<QWidget> own(window);
    const QPointer<QLabel> rising(label);
    const QRegion shape = cut ? window->mask() : QRegion();
    for (int i = 0; i <= steps; ++i) {
        Scheduler::current().after(i * stepInterval, this, [this, own, rising, i, cut, shape] {
            if (!own || !rising)
                return;
            const double p = double(i) / steps;
            const int risen = int(std::lround(rise * p));
            rising->move(0, rise - risen);
            if (cut)
                own->setMask(shape.translated(0, -risen));
            // Fully opaque for most of the way: the window system is asked only as it fades.
            if (const double opacity = opacityAt(p); opacity != own->windowOpacity())
                own->setWindowOpacity(opacity);
            if (i == steps) {
                own->hide();
                own->deleteLater();
                if (m_window == own)
                    m_window.clear();
            }
        });
    }
}
