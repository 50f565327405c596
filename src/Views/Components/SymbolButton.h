#pragma once

#include "Views/Components/SymbolIcon.h"

#include <QAbstractButton>
#include <optional>

// A borderless button that shows one symbol centred in a fixed frame: the header's back
// button, a card's edit and open buttons, a search field's clear button, close buttons.
// With a circle fill, the circle is both what is drawn behind the symbol and what takes
// clicks; otherwise the whole frame does. Drawn at 0.75 opacity while pressed.
class SymbolButton : public QAbstractButton {
    Q_OBJECT
public:
    SymbolButton(const QString& symbol, qreal pointSize, SymbolWeight weight, ThemeColor color, QSize frame,
        QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    void setSymbolColor(ThemeColor color);
    // Fills a circle of the frame's height behind the symbol and makes it the hit area.
    void setCircleFill(ThemeColor fill);
    void setRotation(qreal degrees);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QRectF circle() const;

    QString m_symbol;
    qreal m_pointSize;
    SymbolWeight m_weight;
    ThemeColor m_color;
    QSize m_frame;
    std::optional<ThemeColor> m_circleFill;
    qreal m_rotation = 0;
};
