#include "Views/Components/ClampedTextLabel.h"

#include "Utilities/Theme.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

ClampedTextLabel::ClampedTextLabel(
    const QString& text, int pixelSize, QFont::Weight weight, ThemeColor color, int maximumLines, QWidget* parent)
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

namespace {

// Characters laid out per shown line before the whole text is: far more than a line of the
// list's widths holds, so a long text's tail, which is never shown, is never shaped.
constexpr qsizetype charactersPerLineBound = 240;

} // namespace

ClampedTextLabel::Layout ClampedTextLabel::computeLayout(int width) const
{
    if (m_maximumLines != unlimited) {
        const qsizetype bound = qsizetype(m_maximumLines) * charactersPerLineBound;
        if (m_text.size() > bound) {
            // The lines of the beginning are the lines of the whole text as long as the
            // beginning did not run out before the last shown line was full.
            if (std::optional<Layout> layout = computeLayout(width, m_text.left(bound)))
                return *layout;
        }
    }
    return *computeLayout(width, m_text, true);
}

// The lines of `shown`, the text or its beginning; nothing when `shown` is only the text's
// beginning and ran out within the shown lines (then the whole text must be laid out).
std::optional<ClampedTextLabel::Layout> ClampedTextLabel::computeLayout(
    int width, const QString& shown, bool whole) const
{
    Layout result;
    const QFontMetricsF metrics(font());
    const qreal available = std::max(1, width - contentsMargins().left() - contentsMargins().right());
    QString text = shown;
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
        const bool reachesEnd = line.textStart() + line.textLength() >= text.size();
        if (m_maximumLines != unlimited && result.lines.size() == m_maximumLines - 1) {
            // The last line we may show takes everything that is left, cut to fit.
            QString rest = text.mid(line.textStart());
            rest.replace(QChar::LineSeparator, QLatin1Char(' '));
            if (!whole && (reachesEnd || metrics.horizontalAdvance(rest) <= available))
                return std::nullopt;
            if (!whole || !reachesEnd) {
                result.truncated = true;
                rest = metrics.elidedText(rest.trimmed() + QChar(0x2026), Qt::ElideRight, available);
            }
            result.lines.append(rest);
            break;
        }
        if (!whole && reachesEnd)
            return std::nullopt;
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
    // Past the widest hint, a long text's width need not be measured to its end.
    constexpr int widest = 320;
    const QFontMetricsF metrics(font());
    qreal advance = metrics.horizontalAdvance(m_text.left(charactersPerLineBound));
    if (advance < widest && m_text.size() > charactersPerLineBound)
        advance = metrics.horizontalAdvance(m_text);
    const int natural = int(std::ceil(advance)) + margins.left() + margins.right();
    const int width = std::min(natural, widest);
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
        painter.drawText(
            QRectF(area.left(), y, area.width(), metrics.height()), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += metrics.height() + m_lineSpacing;
    }
}

void ClampedTextLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        textChanged();
    QWidget::changeEvent(event);
}
