#pragma once

#include <QGraphicsEffect>

// Draws a widget faded and scaled about its centre: at progress 0 transparent and at
// `startScale` of its size, at 1 as it is. Widgets cannot be scaled themselves, so a layer
// that enters or leaves by growing is drawn through this effect while it moves.
class ScaleFadeEffect : public QGraphicsEffect {
    Q_OBJECT
    Q_PROPERTY(qreal progress READ progress WRITE setProgress)
public:
    explicit ScaleFadeEffect(qreal startScale, QObject* parent = nullptr);

    qreal progress() const { return m_progress; }
    void setProgress(qreal progress);

protected:
    void draw(QPainter* painter) override;

private:
    qreal m_startScale;
    qreal m_progress = 1;
};
