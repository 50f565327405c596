#include "Utilities/Theme.h"

#include "Utilities/Color.h"

namespace {
QColor withAlpha(Qt::GlobalColor base, double alpha)
{
    QColor c(base);
    c.setAlphaF(float(alpha));
    return c;
}

Theme::Palette makeDark()
{
    return {
        .text = QColor(Qt::white),
        .onAccent = colorFromHex(u"#242424"),
        .windowTint = withAlpha(Qt::black, 0.1),
        .textSecondary = withAlpha(Qt::white, 0.7),
        .textMuted = withAlpha(Qt::white, 0.6),
        .bgCard = colorFromHex(u"#353536"),
        .surfaceGlass = withAlpha(Qt::white, 0.07),
        .surfaceGlassHover = withAlpha(Qt::white, 0.12),
        .surfaceGlassSelected = withAlpha(Qt::white, 0.17),
        .borderSubtle = withAlpha(Qt::white, 0.13),
        .borderSelected = withAlpha(Qt::white, 0.4),
        .danger = colorFromHex(u"#ff6961"),
        .overlayDim = withAlpha(Qt::black, 0.5),
        .toastBg = colorFromHex(u"#353536"),
        .toastText = QColor(Qt::white),
    };
}

Theme::Palette makeLight()
{
    return {
        .text = colorFromHex(u"#1d1d1f"),
        .onAccent = QColor(Qt::white),
        .windowTint = withAlpha(Qt::white, 0.18),
        .textSecondary = withAlpha(Qt::black, 0.6),
        .textMuted = withAlpha(Qt::black, 0.54),
        .bgCard = colorFromHex(u"#f0f0f2"),
        .surfaceGlass = withAlpha(Qt::white, 0.52),
        .surfaceGlassHover = withAlpha(Qt::white, 0.72),
        .surfaceGlassSelected = withAlpha(Qt::white, 0.82),
        .borderSubtle = withAlpha(Qt::black, 0.07),
        .borderSelected = withAlpha(Qt::black, 0.35),
        .danger = colorFromHex(u"#d70015"),
        .overlayDim = withAlpha(Qt::black, 0.35),
        .toastBg = colorFromHex(u"#1d1d1f"),
        .toastText = QColor(Qt::white),
    };
}
} // namespace

Theme& Theme::instance()
{
    static Theme theme;
    return theme;
}

const Theme::Palette& Theme::palette(Appearance appearance)
{
    static const Palette dark = makeDark();
    static const Palette light = makeLight();
    return appearance == Appearance::dark ? dark : light;
}

Appearance Theme::appearance()
{
    return instance().m_appearance;
}

void Theme::setAppearance(Appearance appearance)
{
    Theme& theme = instance();
    if (theme.m_appearance == appearance)
        return;
    theme.m_appearance = appearance;
    Q_EMIT theme.appearanceChanged(appearance);
}
