#include "Views/Components/ViewStyle.h"

#include "Utilities/Theme.h"

#include <QFontDatabase>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace {

bool hasFaceOfWeight(const QString& family, QFont::Weight weight)
{
    static QHash<QString, bool> known;
    const QString key = family + QLatin1Char('|') + QString::number(int(weight));
    const auto found = known.constFind(key);
    if (found != known.cend())
        return *found;
    const QStringList styles = QFontDatabase::styles(family);
    const bool has = std::any_of(styles.cbegin(), styles.cend(),
        [&](const QString& style) { return QFontDatabase::weight(family, style) == int(weight); });
    known.insert(key, has);
    return has;
}

} // namespace

QFont uiFont(int pixelSize, QFont::Weight weight, bool monospaced)
{
    QFont font = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QGuiApplication::font();
    // Fontconfig's "monospace" can resolve to Noto Sans Mono, whose few wide glyphs make Qt
    // treat it as proportional; DejaVu Sans Mono ships with the packages we install.
    if (monospaced)
        font.setFamilies({QStringLiteral("DejaVu Sans Mono"), font.family()});
    font.setPixelSize(pixelSize);
    font.setWeight(weight < QFont::Normal && !hasFaceOfWeight(font.family(), weight) ? QFont::Normal : weight);
    return font;
}

void useInterfaceFont()
{
    const QString inter = QStringLiteral("Inter");
    if (!QFontDatabase::families().contains(inter))
        return;
    QFont font = QGuiApplication::font();
    font.setFamilies({inter, font.family()});
    QGuiApplication::setFont(font);
}

QFont emojiFont(int pixelSize)
{
    QFont font = uiFont(pixelSize);
    font.setFamilies({QStringLiteral("Noto Color Emoji"), font.family()});
    return font;
}

QString emojiGlyphs(const QString& emoji)
{
    return QString(emoji).remove(QChar(0xFE0F));
}

bool isSymbolText(QStringView text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); });
}

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius)
{
    // Each corner is one cubic curve that starts 1.528 radii from the corner with both
    // control points 0.2717 radii from it: its curvature grows from nearly zero at the
    // edges, and its middle lies where a circular corner of the same radius would pass.
    constexpr qreal reach = 1.528;
    constexpr qreal pull = 0.2717;
    QPainterPath path;
    const qreal shortSide = qMin(rect.width(), rect.height());
    if (radius <= 0 || shortSide <= 0) {
        path.addRect(rect);
        return path;
    }
    if (radius * reach > shortSide / 2) {
        const qreal r = qMin(radius, shortSide / 2);
        path.addRoundedRect(rect, r, r);
        return path;
    }
    const qreal k = radius * reach;
    const qreal c = radius * pull;
    const qreal l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    path.moveTo(l + k, t);
    path.lineTo(r - k, t);
    path.cubicTo(r - c, t, r, t + c, r, t + k);
    path.lineTo(r, b - k);
    path.cubicTo(r, b - c, r - c, b, r - k, b);
    path.lineTo(l + k, b);
    path.cubicTo(l + c, b, l, b - c, l, b - k);
    path.lineTo(l, t + k);
    path.cubicTo(l, t + c, l + c, t, l + k, t);
    path.closeSubpath();
    return path;
}

QColor glassFieldOutline(bool lit)
{
    return lit && Theme::appearance() == Appearance::light ? Theme::borderSelected() : Theme::borderSubtle();
}

void paintGlassFieldPanel(QPainter& painter, const QRectF& rect, bool focused)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = continuousRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 10);
    painter.fillPath(shape, focused ? Theme::surfaceGlassHover() : Theme::surfaceGlass());
    painter.strokePath(shape, QPen(glassFieldOutline(focused), 1));
    painter.restore();
}

void setDrawnOpacity(QWidget* widget, qreal opacity)
{
    // An effect costs an offscreen pass on every paint, so it is there only while needed.
    QGraphicsOpacityEffect* fade = nullptr;
    if (opacity < 1) {
        fade = new QGraphicsOpacityEffect(widget);
        fade->setOpacity(opacity);
    }
    widget->setGraphicsEffect(fade);
}

bool showsKeyboardFocus(const QWidget* widget)
{
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}
