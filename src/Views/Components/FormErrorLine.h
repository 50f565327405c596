#pragma once

#include <QWidget>
#include <optional>

class QGraphicsOpacityEffect;
class QVariantAnimation;
class ThemedLabel;

// The red line a form shows under a field when it cannot do what was asked: a warning
// symbol and the message on a faint danger-tinted rounded rectangle. It slides down from
// its top edge while fading in, and back up while fading out (at once when the desktop
// asks for reduced motion); while hidden it takes no space.
class FormErrorLine : public QWidget {
    Q_OBJECT
public:
    static constexpr double transitionSeconds = 0.15;

    explicit FormErrorLine(QWidget* parent = nullptr);

    // Shows `message`, or hides the line when there is none.
    void setMessage(const std::optional<QString>& message);
    const std::optional<QString>& message() const { return m_message; }
    // The text on display; it stays while the line fades out.
    ThemedLabel* textLabel() const { return m_text; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int panelHeight() const;
    void setProgress(qreal progress);
    void place();

    std::optional<QString> m_message;
    QWidget* m_panel;
    ThemedLabel* m_text;
    QGraphicsOpacityEffect* m_opacity;
    QVariantAnimation* m_animation;
    // Tells a screen reader of each new message.
    QWidget* m_notice;
    // 0 hidden, 1 fully shown.
    qreal m_progress = 0;
};
