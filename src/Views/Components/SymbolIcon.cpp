#include "Views/Components/SymbolIcon.h"

#include <QCache>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <cmath>
#include <memory>

// The resources live in a static library, whose unreferenced objects the linker drops.
static void initSymbolResources()
{
    Q_INIT_RESOURCE(Symbols);
}

namespace {

qreal strokeScale(SymbolWeight weight)
{
    switch (weight) {
    case SymbolWeight::light: return 0.8;
    case SymbolWeight::regular: return 1.0;
    case SymbolWeight::medium: return 1.15;
    case SymbolWeight::semibold: return 1.3;
    }
    return 1.0;
}

// Every stroke width in the drawing scaled for the weight: the files are drawn at regular.
QByteArray weighted(const QByteArray& svg, SymbolWeight weight)
{
    if (weight == SymbolWeight::regular)
        return svg;
    static const QRegularExpression strokeWidth(QStringLiteral("stroke-width=\"([0-9.]+)\""));
    const qreal scale = strokeScale(weight);
    QString text = QString::fromUtf8(svg);
    QString result;
    qsizetype last = 0;
    for (auto it = strokeWidth.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += QStringView(text).mid(last, match.capturedStart() - last);
        result += QStringLiteral("stroke-width=\"%1\"").arg(match.captured(1).toDouble() * scale);
        last = match.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result.toUtf8();
}

class SymbolLibrary {
public:
    static SymbolLibrary& instance()
    {
        static SymbolLibrary library;
        return library;
    }

    bool contains(const QString& name) const { return m_sources.contains(name); }

    QStringList names() const
    {
        QStringList names = m_sources.keys();
        names.sort();
        return names;
    }

    QPixmap pixmap(const QString& name, int side, const QColor& color, SymbolWeight weight, qreal dpr)
    {
        if (side <= 0 || !m_sources.contains(name))
            return {};
        const QString key
            = QStringLiteral("%1|%2|%3|%4|%5").arg(name).arg(int(weight)).arg(side).arg(color.rgba(), 8, 16).arg(dpr);
        if (const QPixmap* cached = m_pixmaps.object(key))
            return *cached;
        QSvgRenderer* svg = renderer(name, weight);
        if (!svg)
            return {};
        const int pixels = qMax(1, qRound(side * dpr));
        QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            svg->render(&painter, QRectF(0, 0, pixels, pixels));
        }
        tint(image, color);
        image.setDevicePixelRatio(dpr);
        auto* result = new QPixmap(QPixmap::fromImage(std::move(image)));
        QPixmap copy = *result;
        m_pixmaps.insert(key, result);
        return copy;
    }

private:
    SymbolLibrary()
    {
        initSymbolResources();
        for (QDirIterator it(QStringLiteral(":/symbols"), {QStringLiteral("*.svg")}, QDir::Files); it.hasNext();) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                m_sources.insert(it.fileInfo().completeBaseName(), file.readAll());
        }
    }

    QSvgRenderer* renderer(const QString& name, SymbolWeight weight)
    {
        const QString key = name + QLatin1Char('|') + QString::number(int(weight));
        auto it = m_renderers.find(key);
        if (it == m_renderers.end()) {
            auto svg = std::make_shared<QSvgRenderer>(weighted(m_sources.value(name), weight));
            it = m_renderers.insert(key, svg->isValid() ? svg : nullptr);
        }
        return it->get();
    }

    // Turns the drawing into `color`: ink is what is opaque and dark; white over ink
    // takes the ink away again, so a mark drawn in white shows what lies behind the symbol.
    static void tint(QImage& image, const QColor& color)
    {
        const QRgb base = color.rgba();
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int ink = qMax(0, qAlpha(line[x]) - qGray(line[x]));
                line[x] = qPremultiply(qRgba(qRed(base), qGreen(base), qBlue(base), ink * qAlpha(base) / 255));
            }
        }
    }

    QHash<QString, QByteArray> m_sources;
    QHash<QString, std::shared_ptr<QSvgRenderer>> m_renderers;
    QCache<QString, QPixmap> m_pixmaps{512};
};

class SymbolIconEngine final : public QIconEngine {
public:
    SymbolIconEngine(QString name, ThemeColor color, SymbolWeight weight)
        : m_name(std::move(name))
        , m_color(color)
        , m_weight(weight)
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor color = m_color();
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.4f);
        SymbolIcon::paint(*painter, rect, m_name, color, m_weight);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(*this); }
    QString key() const override { return QStringLiteral("VelmoraSymbol"); }
    bool isNull() override { return !SymbolIcon::contains(m_name); }

private:
    QString m_name;
    ThemeColor m_color;
    SymbolWeight m_weight;
};

} // namespace

bool SymbolIcon::contains(QStringView name)
{
    return SymbolLibrary::instance().contains(name.toString());
}

QStringList SymbolIcon::names()
{
    return SymbolLibrary::instance().names();
}

int SymbolIcon::sideFor(qreal pointSize)
{
    return qMax(1, qRound(pointSize * 1.25));
}

void SymbolIcon::paint(QPainter& painter, const QRectF& box, QStringView name, const QColor& color, SymbolWeight weight)
{
    const int side = qRound(qMin(box.width(), box.height()));
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap symbol = pixmap(name, side, color, weight, dpr);
    if (symbol.isNull())
        return;
    const QPointF topLeft(std::round(box.center().x() - side / 2.0), std::round(box.center().y() - side / 2.0));
    painter.drawPixmap(topLeft, symbol);
}

QPixmap SymbolIcon::pixmap(QStringView name, int side, const QColor& color, SymbolWeight weight, qreal devicePixelRatio)
{
    return SymbolLibrary::instance().pixmap(name.toString(), side, color, weight, devicePixelRatio);
}

QIcon SymbolIcon::icon(const QString& name, ThemeColor color, SymbolWeight weight)
{
    return QIcon(new SymbolIconEngine(name, color, weight));
}
