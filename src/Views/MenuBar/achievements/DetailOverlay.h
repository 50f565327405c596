#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class DetailSheet;
class QVariantAnimation;
class ScaleFadeEffect;

// The layer that holds a detail sheet over the achievements screen: the page dimmed behind
// it and the sheet centred, both fading in while the sheet grows from 0.95. A click on the
// dimmed page calls `onDismiss`. `leave` fades it out and deletes it. It reads as a dialog.
class DetailOverlay : public QWidget {
    Q_OBJECT
public:
    static constexpr double transitionSeconds = 0.18;
    static constexpr qreal startScale = 0.95;

    DetailOverlay(DetailSheet* sheet, std::function<void()> onDismiss, QWidget* parent = nullptr);

    DetailSheet* sheet() const { return m_sheet; }
    // Puts `sheet` where the current one stands, as far faded in as it was.
    void replaceSheet(DetailSheet* sheet);
    void present();
    void leave();
    bool isLeaving() const { return m_leaving; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void animate(qreal to, std::function<void()> done);
    void placeSheet();
    // What assistive technology hears of the layer: the sheet's title as its name, the rest of
    // what the sheet shows (tier, description, progress, date) as its description.
    void describeSheet();

    DetailSheet* m_sheet;
    std::function<void()> m_onDismiss;
    qreal m_progress = 0;
    bool m_leaving = false;
    bool m_pressOnDim = false;
    ScaleFadeEffect* m_effect;
    QPointer<QVariantAnimation> m_animation;
};
