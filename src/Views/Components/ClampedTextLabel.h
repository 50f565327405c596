#pragma once

#include "Views/Components/ViewStyle.h"

#include <QWidget>
#include <optional>
#include <utility>

// Plain text wrapped to the widget's width and cut after a number of lines, the last
// shown line ending in "…" when text remains. With one line it is a label that shrinks
// with its column instead of widening it. Always plain text: user data is never markup.
// Follows the appearance.
class ClampedTextLabel : public QWidget {
    Q_OBJECT
public:
    // No limit on the number of lines.
    static constexpr int unlimited = 0;

    ClampedTextLabel(const QString& text, int pixelSize, QFont::Weight weight, ThemeColor color, int maximumLines,
        QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    int maximumLines() const { return m_maximumLines; }
    void setMaximumLines(int lines);
    // Extra space between lines, in pixels.
    void setLineSpacing(qreal spacing);
    void setMonospaced(bool monospaced);

    // The lines shown at `width` and whether text was cut off there.
    struct Layout {
        QStringList lines;
        bool truncated = false;
        qreal height = 0;
    };
    const Layout& layoutFor(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Layout computeLayout(int width) const;
    std::optional<Layout> computeLayout(int width, const QString& shown, bool whole = false) const;
    void textChanged();

    // Layout passes ask for the height at the same width again and again; the lines of the
    // last width asked for are kept until the text or its look changes.
    mutable std::optional<std::pair<int, Layout>> m_cached;
    QString m_text;
    ThemeColor m_color;
    int m_maximumLines;
    qreal m_lineSpacing = 0;
};
