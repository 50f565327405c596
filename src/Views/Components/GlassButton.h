#pragma once

#include <QAbstractButton>

// A full-width form button, 36 pixels high, drawn at 0.75 opacity while pressed:
// - primary: a filled capsule in the text colour with the title in the accent-text colour;
// - secondary: a glass capsule with a subtle outline (also how a disabled primary looks,
//   with muted text);
// - danger: the title in the danger colour on a faint danger-tinted rounded rectangle.
// Made by `glassButton`, `glassSecondaryButton` and `glassDangerButton`.
class GlassButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Kind { primary, secondary, danger };

    static constexpr int fixedHeight = 36;
    static constexpr qreal pressedOpacity = 0.75;
    static constexpr qreal dangerCornerRadius = 10;

    GlassButton(Kind kind, const QString& title, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QPainterPath shape(const QRectF& bounds) const;

    Kind m_kind;
};
