#include "Views/MenuBar/account/GoogleLogoView.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolIcon.h"

#include <QPainter>
#include <QSvgRenderer>

namespace {

// Rendered large once and scaled down smoothly wherever it is drawn.
constexpr int renderedSide = 96;

} // namespace

const QByteArray GoogleLogoView::svg = QByteArrayLiteral(
    "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 24\">"
    "<path fill=\"#4285F4\" d=\"M22.56 12.25c0-.78-.07-1.53-.2-2.25H12v4.26h5.92c-.26 1.37-1.04 2.53-2.21 "
    "3.31v2.77h3.57c2.08-1.92 3.28-4.74 3.28-8.09z\"/>"
    "<path fill=\"#34A853\" d=\"M12 23c2.97 0 5.46-.98 7.28-2.66l-3.57-2.77c-.98.66-2.23 1.06-3.71 "
    "1.06-2.86 0-5.29-1.93-6.16-4.53H2.18v2.84C3.99 20.53 7.7 23 12 23z\"/>"
    "<path fill=\"#FBBC05\" d=\"M5.84 14.09c-.22-.66-.35-1.36-.35-2.09s.13-1.43.35-2.09V7.07H2.18C1.43 "
    "8.55 1 10.22 1 12s.43 3.45 1.18 4.93l3.66-2.84z\"/>"
    "<path fill=\"#EA4335\" d=\"M12 5.38c1.62 0 3.06.56 4.21 1.64l3.15-3.15C17.45 2.09 14.97 1 12 1 "
    "7.7 1 3.99 3.47 2.18 7.07l3.66 2.84c.87-2.6 3.3-4.53 6.16-4.53z\"/>"
    "</svg>");

GoogleLogoView::GoogleLogoView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

QImage GoogleLogoView::render(const QByteArray& svg, int side)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, side, side));
    return image;
}

const QImage& GoogleLogoView::cachedImage()
{
    static const QImage image = render(svg, renderedSide);
    return image;
}

void GoogleLogoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int side = std::min(width(), height());
    const QRectF square((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    const QImage& image = cachedImage();
    if (image.isNull()) {
        SymbolIcon::paint(painter, square, u"g.circle", Theme::textMuted());
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(square, image);
}
