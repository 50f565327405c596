#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>

// The sign-in provider's four-colour letter G, drawn from SVG text carried in the program.
// The drawing is rendered in memory once per process and kept (a failure too, so it is not
// retried); without it the "g.circle" symbol stands in, in the muted text colour. It has no
// size of its own: it fills the square that fits its frame, centred.
class GoogleLogoView : public QWidget {
    Q_OBJECT
public:
    static const QByteArray svg;

    explicit GoogleLogoView(QWidget* parent = nullptr);

    // The rendered mark, or a null image when the SVG could not be rendered.
    static const QImage& cachedImage();
    // Renders `svg` at `side` pixels; a null image when it is not a drawable SVG.
    static QImage render(const QByteArray& svg, int side);

protected:
    void paintEvent(QPaintEvent* event) override;
};
