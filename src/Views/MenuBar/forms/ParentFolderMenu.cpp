#include "Views/MenuBar/forms/ParentFolderMenu.h"

#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ThemedMenu.h"
#include "Views/Components/ViewStyle.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int padding = 6;
constexpr qreal menuRadius = 10;

// One parent choice: the folder's name and, on the current choice (checked), a check mark
// over a selected fill. Hover and keyboard focus light the row.
class ParentMenuRow : public QAbstractButton {
public:
    ParentMenuRow(const QString& label, bool current, QWidget* parent)
        : QAbstractButton(parent)
    {
        setText(label);
        setAccessibleName(label);
        AccessibleRoles::setRole(this, QAccessible::MenuItem);
        setCheckable(true);
        setChecked(current);
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::TabFocus);
        setFont(uiFont(13));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(fontMetrics().height() + 12);
    }

    QSize sizeHint() const override { return {ParentFolderMenu::menuWidth - 2 * padding, height()}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPainterPath shape = continuousRoundedRect(rect(), 6);
        // Highlighted like the rows of the popover's other menus; the current choice is told
        // by its check mark.
        if (underMouse() || hasFocus())
            painter.fillPath(shape, ThemedMenu::rowHighlight());
        if (showsKeyboardFocus(this))
            painter.strokePath(continuousRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 6),
                QPen(Theme::borderSelected(), 1.5));

        const int markSide = SymbolIcon::sideFor(10);
        const int textRight = width() - 10 - (isChecked() ? markSide + 8 : 0);
        painter.setPen(Theme::text());
        painter.setFont(font());
        painter.drawText(QRect(10, 0, textRight - 10, height()), Qt::AlignVCenter | Qt::AlignLeft,
            fontMetrics().elidedText(text(), Qt::ElideRight, textRight - 10));
        if (isChecked())
            SymbolIcon::paint(painter, QRectF(width() - 10 - markSide, (height() - markSide) / 2.0, markSide, markSide),
                u"checkmark", Theme::textMuted(), SymbolWeight::medium);
    }

    // A click always picks the row; it never clears the current choice's mark.
    void nextCheckState() override { }
};

} // namespace

ParentFolderMenu::ParentFolderMenu(const QList<Entry>& entries, const std::optional<QString>& current, QWidget* parent)
    : QWidget(parent)
    , m_scroll(new QScrollArea(this))
{
    setAccessibleName(QStringLiteral("Parent folder"));
    AccessibleRoles::setRole(this, QAccessible::PopupMenu);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(shadowMargin, shadowMargin, shadowMargin, shadowMargin);
    outer->addWidget(m_scroll);

    auto* list = new QWidget;
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(2);
    for (const Entry& entry : entries) {
        auto* row = new ParentMenuRow(entry.label, entry.id == current, list);
        connect(row, &QAbstractButton::clicked, this, [this, id = entry.id] { Q_EMIT chosen(id); });
        row->installEventFilter(this);
        column->addWidget(row);
        m_rows.append(row);
    }
    column->addStretch(1);

    m_scroll->setFrameShape(QFrame::NoFrame);
    // The rows take the keyboard, not the area around them.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setAutoFillBackground(false);
    m_scroll->setWidget(list);
    list->setAutoFillBackground(false);

    const int contentHeight = column->sizeHint().height();
    setFixedSize(menuWidth + 2 * shadowMargin, qMin(contentHeight, maximumHeight) + 2 * shadowMargin);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void ParentFolderMenu::focusCurrentRow()
{
    if (m_rows.isEmpty())
        return;
    QAbstractButton* target = m_rows.first();
    for (QAbstractButton* row : m_rows) {
        if (row->isChecked())
            target = row;
    }
    target->setFocus(Qt::PopupFocusReason);
    m_scroll->ensureWidgetVisible(target, 0, padding);
}

QRectF ParentFolderMenu::panel() const
{
    return QRectF(rect()).adjusted(shadowMargin, shadowMargin, -shadowMargin, -shadowMargin);
}

void ParentFolderMenu::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A soft shadow, a little lower than the panel: rings that fade outwards.
    const QRectF body = panel().translated(0, 3);
    for (int i = shadowMargin - 1; i >= 0; --i) {
        QPainterPath ring = continuousRoundedRect(body.adjusted(-i - 1, -i - 1, i + 1, i + 1), menuRadius + i + 1);
        ring = ring.subtracted(continuousRoundedRect(body.adjusted(-i, -i, i, i), menuRadius + i));
        const qreal fade = 1.0 - qreal(i) / shadowMargin;
        painter.fillPath(ring, QColor(0, 0, 0, qRound(34 * fade * fade)));
    }
    const QPainterPath shape = continuousRoundedRect(panel().adjusted(0.5, 0.5, -0.5, -0.5), menuRadius);
    painter.fillPath(shape, Theme::bgCard());
    painter.strokePath(shape, QPen(ThemedMenu::panelOutline(), 1));
}

bool ParentFolderMenu::eventFilter(QObject* watched, QEvent* event)
{
    const qsizetype at = m_rows.indexOf(qobject_cast<QAbstractButton*>(watched));
    if (at < 0 || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const qsizetype step = static_cast<QKeyEvent*>(event)->key() == Qt::Key_Up ? -1 : 1;
        QAbstractButton* next = m_rows.at(qBound<qsizetype>(0, at + step, m_rows.size() - 1));
        next->setFocus(Qt::TabFocusReason);
        m_scroll->ensureWidgetVisible(next, 0, padding);
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter: m_rows.at(at)->click(); return true;
    default: return QWidget::eventFilter(watched, event);
    }
}
