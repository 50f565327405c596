#pragma once

#include "Views/Components/GlassInputPanel.h"

class QLineEdit;
class ThemedLabel;

// A labelled one-line text field on a glass panel that brightens while the field has the
// keyboard focus. Made by `glassField`.
class GlassTextInput : public GlassInputPanel {
    Q_OBJECT
public:
    GlassTextInput(const QString& label, const QString& placeholder, const QString& text, bool monospaced,
        QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    // The field itself, for focus, validators and Return handling.
    QLineEdit* lineEdit() const { return m_field; }
    // The caption above the field; null when the label is empty.
    ThemedLabel* label() const { return m_label; }

Q_SIGNALS:
    void textChanged(const QString& text);
    // Return was pressed in the field.
    void submitted();

private:
    ThemedLabel* m_label = nullptr;
    QLineEdit* m_field;
};
