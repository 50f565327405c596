#pragma once

#include <QColor>
#include <QObject>

enum class Appearance { light, dark };

// The palette every popover screen draws with. Each colour has a light and a dark value;
// the application core sets the appearance from the theme setting and screens only ever
// ask for the colour, so a change of appearance recolours everything on the next paint
// (listen to `appearanceChanged` to repaint).
class Theme : public QObject {
    Q_OBJECT
public:
    struct Palette {
        QColor text;
        QColor onAccent;
        QColor windowTint;
        QColor textSecondary;
        QColor textMuted;
        QColor bgCard;
        QColor surfaceGlass;
        QColor surfaceGlassHover;
        QColor surfaceGlassSelected;
        QColor borderSubtle;
        QColor borderSelected;
        QColor danger;
        QColor overlayDim;
        QColor toastBg;
        QColor toastText;
    };

    static Theme& instance();
    static const Palette& palette(Appearance appearance);

    static Appearance appearance();
    static void setAppearance(Appearance appearance);

    // The colours for the current appearance.
    static QColor text() { return current().text; }
    static QColor onAccent() { return current().onAccent; }
    static QColor windowTint() { return current().windowTint; }
    static QColor textSecondary() { return current().textSecondary; }
    static QColor textMuted() { return current().textMuted; }
    static QColor bgCard() { return current().bgCard; }
    static QColor surfaceGlass() { return current().surfaceGlass; }
    static QColor surfaceGlassHover() { return current().surfaceGlassHover; }
    static QColor surfaceGlassSelected() { return current().surfaceGlassSelected; }
    static QColor borderSubtle() { return current().borderSubtle; }
    static QColor borderSelected() { return current().borderSelected; }
    static QColor danger() { return current().danger; }
    static QColor overlayDim() { return current().overlayDim; }
    static QColor toastBg() { return current().toastBg; }
    static QColor toastText() { return current().toastText; }

Q_SIGNALS:
    void appearanceChanged(Appearance appearance);

private:
    static const Palette& current() { return palette(appearance()); }
    Appearance m_appearance = Appearance::light;
};
