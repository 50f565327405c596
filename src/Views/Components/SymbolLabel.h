#pragma once

#include "Views/Components/SymbolIcon.h"

#include <QWidget>
#include <functional>

// One symbol shown at the size of text of `pointSize` pixels, centred in the widget,
// in a palette colour (follows the appearance) or a fixed one.
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    SymbolLabel(const QString& name, qreal pointSize, SymbolWeight weight, ThemeColor color, QWidget* parent = nullptr);

    QString name() const { return m_name; }
    void setName(const QString& name);
    void setColor(ThemeColor color);
    void setColor(const QColor& color);
    // Degrees clockwise about the centre ("ellipsis" stood upright, "minus" as a slash).
    void setRotation(qreal degrees);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    qreal m_pointSize;
    SymbolWeight m_weight;
    std::function<QColor()> m_color;
    qreal m_rotation = 0;
};
