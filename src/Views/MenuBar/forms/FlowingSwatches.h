#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <optional>

class QAbstractButton;
class QLineEdit;

// The folder editor's colour picker: a "no colour" swatch, one round swatch per preset and a
// small field for a hex colour of one's own, in two rows (the none swatch and the first seven
// presets, then the other presets and the field). It holds the editor's two colour values:
// the selected colour, saved with the folder, and the text of the hex field. Typed text
// becomes the selected colour only through `commitHex()`: on Return, when the field loses
// the keyboard focus, and when the editor saves.
class FlowingSwatches : public QWidget {
    Q_OBJECT
public:
    struct Preset {
        QString name;
        QString hex;
    };

    static constexpr int presetsInFirstRow = 7;

    explicit FlowingSwatches(QList<Preset> colors, QWidget* parent = nullptr);

    const QList<Preset>& colors() const { return m_colors; }

    // A hex colour text, or nothing for no colour.
    const std::optional<QString>& selectedColor() const { return m_selectedColor; }
    void setSelectedColor(const std::optional<QString>& color);

    QString hexInput() const;
    void setHexInput(const QString& text);

    // When the hex field holds a three- or six-digit hex colour (spaces and tabs around it and
    // the "#" optional), makes it, in upper case, the selected colour and the field's text.
    // Any other text changes nothing. Returns whether it was taken.
    bool commitHex();

    QLineEdit* hexField() const { return m_hexField; }
    // The none swatch first, then the presets in order.
    const QList<QAbstractButton*>& swatches() const { return m_swatches; }

Q_SIGNALS:
    void selectedColorChanged();

private:
    void refreshSelection();

    QList<Preset> m_colors;
    std::optional<QString> m_selectedColor;
    QList<QAbstractButton*> m_swatches;
    QLineEdit* m_hexField = nullptr;
};
