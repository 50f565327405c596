#pragma once

#include <QWidget>

// The glass panel shared by the one-line and the multi-line text input: it paints the
// panel, brightens it while its editor has the keyboard focus, and keeps the editor's
// text and placeholder colours with the appearance.
class GlassInputPanel : public QWidget {
    Q_OBJECT
public:
    bool isFocused() const;

protected:
    explicit GlassInputPanel(QWidget* parent);

    // Called once by the subclass with the editor it placed in the panel.
    void attachEditor(QWidget* editor);
    // Colours the editor for the current appearance; subclasses colour what they add.
    virtual void applyColors();

    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_editor = nullptr;
};
