#pragma once

#include "Views/Components/GlassInputPanel.h"

class QPlainTextEdit;
class ThemedLabel;

// A labelled multi-line editor on a glass panel, always 150 pixels high: longer text
// scrolls inside. The label row keeps its space even when the label is empty. Made by
// `glassTextArea`.
class GlassTextArea : public GlassInputPanel {
    Q_OBJECT
public:
    static constexpr int fixedHeight = 150;

    GlassTextArea(const QString& label, const QString& placeholder, const QString& text, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QPlainTextEdit* editor() const { return m_editor; }
    ThemedLabel* label() const { return m_label; }

Q_SIGNALS:
    void textChanged(const QString& text);

protected:
    void applyColors() override;
    // Tab types a tab into the text; Ctrl+Tab and Ctrl+Shift+Tab leave it, forwards and
    // backwards, as in the desktop toolkits' multi-line texts.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ThemedLabel* m_label;
    QPlainTextEdit* m_editor;
};
