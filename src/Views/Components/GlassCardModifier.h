#pragma once

#include "Utilities/Theme.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <optional>

class QPainter;
class QVariantAnimation;
class QWidget;

// What the chrome of one card looks like at one moment.
struct GlassCardChrome {
    QColor fill;
    QColor border;
    qreal borderWidth = 0.5;

    bool operator==(const GlassCardChrome&) const = default;
};

// The translucent rounded panel behind every card of the main list, coloured by the card's
// state. The card owns one, reports its state to it and calls `paint` first thing in its
// paint event; the chrome draws nothing else and takes no input. Hover and selection
// changes blend over 0.16 seconds (at once when the desktop asks for reduced motion);
// drop-target and tint changes show at once.
class GlassCardModifier : public QObject {
    Q_OBJECT
public:
    static constexpr qreal cornerRadius = 14;
    static constexpr int blendMilliseconds = 160;

    // `card` is repainted whenever the chrome changes.
    explicit GlassCardModifier(QWidget* card);

    bool isHovered() const { return m_hovered; }
    void setHovered(bool hovered);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    bool isDropTarget() const { return m_dropTarget; }
    void setDropTarget(bool dropTarget);
    // A hex colour text (a folder's colour); none means an untinted card.
    std::optional<QString> tintColor() const { return m_tint; }
    void setTintColor(const std::optional<QString>& tint);

    // The chrome of a card in this state once any blend has finished.
    static GlassCardChrome chrome(
        bool hovered, bool selected, bool dropTarget, const std::optional<QString>& tint, Appearance appearance);
    GlassCardChrome targetChrome() const;
    // What is drawn now: part of the way from the previous chrome while a blend runs.
    GlassCardChrome currentChrome() const;
    bool isBlending() const;

    // Fills `rect` as a rounded panel and draws the border inside its edge.
    void paint(QPainter& painter, const QRectF& rect) const;

private:
    void changeState(bool& flag, bool value, bool animated);
    void showAtOnce();

    QPointer<QWidget> m_card;
    bool m_hovered = false;
    bool m_selected = false;
    bool m_dropTarget = false;
    std::optional<QString> m_tint;
    GlassCardChrome m_from;
    QVariantAnimation* m_blend;
};
