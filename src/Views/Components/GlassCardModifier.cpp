#include "Views/Components/GlassCardModifier.h"

#include "Utilities/Color.h"
#include "Views/Components/ViewStyle.h"
#include "platform/MotionSettings.h"

#include <QCache>
#include <QEasingCurve>
#include <QImage>
#include <QPainter>
#include <QVariantAnimation>
#include <QWidget>
#include <cmath>

namespace {

// The blue the desktop this look comes from uses for drop targets, per appearance.
QColor dropBlue(Appearance appearance, double opacity)
{
    QColor blue = appearance == Appearance::dark ? QColor(0x0A, 0x84, 0xFF) : QColor(0x00, 0x7A, 0xFF);
    blue.setAlphaF(float(opacity));
    return blue;
}

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

// Colours blend with their opacity taken into account, so that a fade between two
// translucent fills does not darken on the way.
QColor blend(const QColor& from, const QColor& to, qreal t)
{
    const qreal a = from.alphaF() * (1 - t) + to.alphaF() * t;
    if (a <= 0)
        return QColor(0, 0, 0, 0);
    auto channel = [&](qreal f, qreal g) { return (f * from.alphaF() * (1 - t) + g * to.alphaF() * t) / a; };
    QColor result;
    result.setRgbF(float(channel(from.redF(), to.redF())), float(channel(from.greenF(), to.greenF())),
        float(channel(from.blueF(), to.blueF())), float(a));
    return result;
}

QEasingCurve easeOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

void fillPanel(QPainter& painter, const QRectF& rect, const GlassCardChrome& shown)
{
    painter.fillPath(continuousRoundedRect(rect, GlassCardModifier::cornerRadius), shown.fill);
}

void drawBorder(QPainter& painter, const QRectF& rect, const GlassCardChrome& shown)
{
    const qreal inset = shown.borderWidth / 2;
    QPen pen(shown.border, shown.borderWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.strokePath(
        continuousRoundedRect(rect.adjusted(inset, inset, -inset, -inset), GlassCardModifier::cornerRadius - inset),
        pen);
}

// The fill and the border of a panel of one size and chrome, each alone on clear pixels.
struct PanelImages {
    QImage fill;
    QImage border;
};

QImage drawnAlone(
    QSize size, const GlassCardChrome& shown, void (*draw)(QPainter&, const QRectF&, const GlassCardChrome&))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, QRectF(QPointF(0, 0), size), shown);
    return image;
}

// Qt 6.4's raster engine hands every fill of 96 spans or more to its global thread pool and
// waits for the threads, which for a card's rounded outline costs several times the drawing
// itself, and far more while other programs keep the processors busy: the list repaints a
// screen of cards at each key typed into the search. Cards share a few sizes and chromes, so
// each panel is drawn once and copied, the fill and then the border, each laid over the
// background as the drawing lays it. (Where both cover part of a corner pixel, a channel may
// come out one step of 255 apart from the drawing.)
const PanelImages* panelImages(QSize size, const GlassCardChrome& shown)
{
    constexpr qsizetype cacheBytes = 4 * 1024 * 1024;
    // A card showing a whole long text is drawn each time rather than crowd out the others.
    if (qsizetype(size.width()) * size.height() * 2 * 4 > cacheBytes / 4)
        return nullptr;
    static QCache<QString, PanelImages> cache(cacheBytes);
    const QString key = QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(quint64(shown.fill.rgba64()))
                            .arg(quint64(shown.border.rgba64()))
                            .arg(shown.borderWidth);
    if (const PanelImages* kept = cache.object(key))
        return kept;
    auto* images = new PanelImages{drawnAlone(size, shown, fillPanel), drawnAlone(size, shown, drawBorder)};
    cache.insert(key, images, images->fill.sizeInBytes() + images->border.sizeInBytes());
    return images;
}

// Whether the panel's pixels fall on whole pixels of the device, where a copy lands: moved by
// whole pixels only, and laid over as a copy would be.
bool liesOnWholePixels(const QPainter& painter, const QRectF& rect)
{
    const QTransform transform = painter.deviceTransform();
    const auto whole = [](qreal value) { return value == std::round(value); };
    return transform.type() <= QTransform::TxTranslate && whole(transform.dx()) && whole(transform.dy())
        && whole(rect.x()) && whole(rect.y()) && whole(rect.width()) && whole(rect.height()) && painter.opacity() == 1
        && painter.compositionMode() == QPainter::CompositionMode_SourceOver && rect.width() > 0 && rect.height() > 0;
}

} // namespace

GlassCardModifier::GlassCardModifier(QWidget* card)
    : QObject(card)
    , m_card(card)
    , m_blend(new QVariantAnimation(this))
{
    m_blend->setStartValue(0.0);
    m_blend->setEndValue(1.0);
    m_blend->setDuration(blendMilliseconds);
    m_blend->setEasingCurve(easeOut());
    connect(m_blend, &QVariantAnimation::valueChanged, this, [this] {
        if (m_card)
            m_card->update();
    });
    connect(&Theme::instance(), &Theme::appearanceChanged, this, &GlassCardModifier::showAtOnce);
}

void GlassCardModifier::setHovered(bool hovered)
{
    changeState(m_hovered, hovered, true);
}

void GlassCardModifier::setSelected(bool selected)
{
    changeState(m_selected, selected, true);
}

void GlassCardModifier::setDropTarget(bool dropTarget)
{
    changeState(m_dropTarget, dropTarget, false);
}

void GlassCardModifier::setTintColor(const std::optional<QString>& tint)
{
    if (m_tint == tint)
        return;
    m_tint = tint;
    showAtOnce();
}

void GlassCardModifier::changeState(bool& flag, bool value, bool animated)
{
    if (flag == value)
        return;
    const GlassCardChrome shown = currentChrome();
    flag = value;
    if (!animated || MotionSettings::current().reduceMotion()) {
        showAtOnce();
        return;
    }
    m_from = shown;
    m_blend->stop();
    m_blend->start();
    if (m_card)
        m_card->update();
}

void GlassCardModifier::showAtOnce()
{
    m_blend->stop();
    if (m_card)
        m_card->update();
}

GlassCardChrome GlassCardModifier::chrome(
    bool hovered, bool selected, bool dropTarget, const std::optional<QString>& tint, Appearance appearance)
{
    const Theme::Palette& palette = Theme::palette(appearance);
    GlassCardChrome result;
    if (tint)
        result.fill = withOpacity(colorFromHex(*tint), selected ? 0.2 : hovered ? 0.16 : 0.1);
    else if (dropTarget)
        result.fill = dropBlue(appearance, 0.12);
    else if (selected)
        result.fill = palette.surfaceGlassSelected;
    else if (hovered)
        result.fill = palette.surfaceGlassHover;
    else
        result.fill = palette.surfaceGlass;

    if (selected) {
        result.border = palette.borderSelected;
        result.borderWidth = 1;
    } else if (dropTarget) {
        // A hairline at the fill's opacity vanishes on the dark glass: the target is outlined
        // as clearly as a selection.
        result.border = dropBlue(appearance, 0.8);
        result.borderWidth = 1.5;
    } else {
        result.border = palette.borderSubtle;
        result.borderWidth = 0.5;
    }
    return result;
}

GlassCardChrome GlassCardModifier::targetChrome() const
{
    return chrome(m_hovered, m_selected, m_dropTarget, m_tint, Theme::appearance());
}

bool GlassCardModifier::isBlending() const
{
    return m_blend->state() == QAbstractAnimation::Running;
}

GlassCardChrome GlassCardModifier::currentChrome() const
{
    const GlassCardChrome target = targetChrome();
    if (!isBlending())
        return target;
    const qreal t = m_blend->currentValue().toReal();
    return {blend(m_from.fill, target.fill, t), blend(m_from.border, target.border, t),
        m_from.borderWidth + (target.borderWidth - m_from.borderWidth) * t};
}

void GlassCardModifier::paint(QPainter& painter, const QRectF& rect) const
{
    const GlassCardChrome shown = currentChrome();
    // A blend changes the chrome at every frame: nothing to keep.
    if (const PanelImages* panel
        = !isBlending() && liesOnWholePixels(painter, rect) ? panelImages(rect.size().toSize(), shown) : nullptr) {
        painter.drawImage(rect.topLeft(), panel->fill);
        painter.drawImage(rect.topLeft(), panel->border);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    fillPanel(painter, rect, shown);
    drawBorder(painter, rect, shown);
    painter.restore();
}
