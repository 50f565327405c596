#pragma once

#include "Views/Components/ViewStyle.h"

#include <QWidget>

class QVariantAnimation;

// The small indeterminate progress indicator: eight spokes fading round a circle, turning
// while shown. Under reduced motion it stands still. Hidden from mouse input.
class ActivityIndicator : public QWidget {
    Q_OBJECT
public:
    explicit ActivityIndicator(ThemeColor color, int side = 14, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {m_side, m_side}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    ThemeColor m_color;
    int m_side;
    int m_step = 0;
    QVariantAnimation* m_turn;
};
