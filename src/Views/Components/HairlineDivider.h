#pragma once

#include <QWidget>

// A one-pixel horizontal rule in the subtle border colour at half strength, between the
// parts of a card.
class HairlineDivider : public QWidget {
    Q_OBJECT
public:
    explicit HairlineDivider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
