#include "Views/Components/ClampedTextLabel.h"

#include "Utilities/Theme.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

ClampedTextLabel::ClampedTextLabel(const QString& text, int pixelSize, QFont::Weight weight, ThemeColor color,
    int maximumLines, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
    , m_color(color)
    , m_maximumLines(maximumLines)
{
    setFont(uiFont(pixelSize, weight));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void ClampedTextLabel::textChanged()
{
    m_cached.reset();
    updateGeometry();
    update();
}

void ClampedTextLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    textChanged();
}

void ClampedTextLabel::setMaximumLines(int lines)
{
    if (lines == m_maximumLines)
        return;
    m_maximumLines = lines;
    textChanged();
}

void ClampedTextLabel::setLineSpacing(qreal spacing)
{
    m_lineSpacing = spacing;
    textChanged();
}

void ClampedTextLabel::setMonospaced(bool monospaced)
{
    setFont(uiFont(font().pixelSize(), QFont::Weight(font().weight()), monospaced));
}

const ClampedTextLabel::Layout& ClampedTextLabel::layoutFor(int width) const
{
    if (!m_cached || m_cached->first != width)
        m_cached.emplace(width, computeLayout(width));
    return m_cached->second;
}

ClampedTextLabel::Layout ClampedTextLabel::computeLayout(int width) const
{
    Layout result;
    const QFontMetricsF metrics(font());
    const qreal available = std::max(1, width - contentsMargins().left() - contentsMargins().right());
    QString text = m_text;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(available);
        if (m_maximumLines != unlimited && result.lines.size() == m_maximumLines - 1) {
            // The last line we may show takes everything that is left, cut to fit.
            QString rest = text.mid(line.textStart());
            const bool more = line.textStart() + line.textLength() < text.size();
            rest.replace(QChar::LineSeparator, QLatin1Char(' '));
            if (more) {
                result.truncated = true;
                rest = metrics.elidedText(rest.trimmed() + QChar(0x2026), Qt::ElideRight, available);
            }
            result.lines.append(rest);
            break;
        }
        result.lines.append(text.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator));
    }
    layout.endLayout();
    if (result.lines.isEmpty())
        result.lines.append(QString());
    const qsizetype count = result.lines.size();
    result.height = count * metrics.height() + (count - 1) * m_lineSpacing;
    return result;
}

int ClampedTextLabel::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    return int(std::ceil(layoutFor(width).height)) + margins.top() + margins.bottom();
}

QSize ClampedTextLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const int natural = int(std::ceil(QFontMetricsF(font()).horizontalAdvance(m_text))) + margins.left() + margins.right();
    const int width = std::min(natural, 320);
    return {width, heightForWidth(width)};
}

QSize ClampedTextLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {QFontMetrics(font()).averageCharWidth() * 2 + margins.left() + margins.right(),
        QFontMetrics(font()).height() + margins.top() + margins.bottom()};
}

void ClampedTextLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(m_color());
    const QRect area = contentsRect();
    const QFontMetricsF metrics(font());
    const Layout& layout = layoutFor(width());
    qreal y = area.top();
    for (const QString& line : layout.lines) {
        painter.drawText(QRectF(area.left(), y, area.width(), metrics.height()), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += metrics.height() + m_lineSpacing;
    }
}

void ClampedTextLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        textChanged();
    QWidget::changeEvent(event);
}
