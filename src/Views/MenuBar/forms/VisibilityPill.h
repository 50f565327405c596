#pragma once

#include <QAbstractButton>

// One choice of the folder editor's visibility row: a 38-pixel capsule holding a symbol and a
// label, filled in the text colour while it is the chosen one (checked) and glass otherwise.
// The row's pills share its width equally.
class VisibilityPill : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int fixedHeight = 38;

    VisibilityPill(const QString& label, const QString& symbol, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QString m_symbol;
};
