#pragma once

#include <QAbstractButton>

// A full-width button drawn as a glass panel (a 12-pixel continuous rounded rectangle with a
// subtle 1-pixel outline) that the caller fills through a layout, as the folder editor's icon
// row and parent field are. The children only show: the whole panel takes the clicks.
class GlassRowButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr qreal cornerRadius = 12;

    explicit GlassRowButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};
