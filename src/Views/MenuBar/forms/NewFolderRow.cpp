#include "Views/MenuBar/forms/NewFolderRow.h"

#include "Utilities/Text.h"
#include "Utilities/Theme.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ViewStyle.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

namespace {

// A plain button of a small symbol and a short text, in the secondary text colour.
class SymbolTextLink final : public QAbstractButton {
public:
    static constexpr qreal symbolSize = 10;
    static constexpr int textSize = 12;
    static constexpr int gap = 6;
    static constexpr int verticalPadding = 4;

    SymbolTextLink(const QString& symbol, const QString& title, QWidget* parent)
        : QAbstractButton(parent)
        , m_symbol(symbol)
    {
        setText(title);
        setFont(uiFont(textSize));
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

    QSize sizeHint() const override
    {
        const int side = SymbolIcon::sideFor(symbolSize);
        return {side + gap + fontMetrics().horizontalAdvance(text()) + 2,
            qMax(side, fontMetrics().height()) + 2 * verticalPadding};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isDown())
            painter.setOpacity(0.75);
        const QColor color = underMouse() ? Theme::text() : Theme::textSecondary();
        const int side = SymbolIcon::sideFor(symbolSize);
        SymbolIcon::paint(
            painter, QRectF(0, (height() - side) / 2.0, side, side), m_symbol, color, SymbolWeight::medium);
        painter.setPen(color);
        painter.setFont(font());
        painter.drawText(QRect(side + gap, 0, width() - side - gap, height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
        if (showsKeyboardFocus(this)) {
            painter.setOpacity(1.0);
            painter.setPen(QPen(Theme::borderSelected(), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(rect()).adjusted(-0.25, 0.75, 0.25, -0.75), 4, 4);
        }
    }

    void enterEvent(QEnterEvent* event) override
    {
        update();
        QAbstractButton::enterEvent(event);
    }

    void leaveEvent(QEvent* event) override
    {
        update();
        QAbstractButton::leaveEvent(event);
    }

private:
    QString m_symbol;
};

// A symbol button on a small glass tile.
class TileSymbolButton final : public SymbolButton {
public:
    using SymbolButton::SymbolButton;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            if (isDown())
                painter.setOpacity(0.75);
            painter.fillPath(continuousRoundedRect(rect(), 8), Theme::surfaceGlass());
        }
        SymbolButton::paintEvent(event);
    }
};

SymbolButton* symbolButton(
    bool tile, const QString& symbol, qreal size, ThemeColor color, QSize frame, const QString& name, QWidget* parent)
{
    SymbolButton* button = tile ? new TileSymbolButton(symbol, size, SymbolWeight::medium, color, frame, parent)
                                : new SymbolButton(symbol, size, SymbolWeight::medium, color, frame, parent);
    button->setAccessibleName(name);
    button->setToolTip(name);
    return button;
}

} // namespace

NewFolderRow::NewFolderRow(QWidget* parent)
    : QWidget(parent)
    , m_link(new SymbolTextLink(QStringLiteral("plus"), QStringLiteral("New folder"), this))
    , m_row(new QWidget(this))
    , m_name(glassField(QString(), QStringLiteral("New folder name"), QString(), false, m_row))
    , m_create(symbolButton(true, QStringLiteral("checkmark"), 12, &Theme::textSecondary, QSize(38, 40),
          QStringLiteral("Create folder"), m_row))
    , m_cancel(symbolButton(false, QStringLiteral("xmark"), 11, &Theme::textMuted, QSize(30, 40),
          QStringLiteral("Cancel new folder"), m_row))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_link, 0, Qt::AlignLeft);
    column->addWidget(m_row);

    auto* row = new QHBoxLayout(m_row);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_name, 1);
    row->addWidget(m_create, 0, Qt::AlignVCenter);
    row->addWidget(m_cancel, 0, Qt::AlignVCenter);
    m_create->setEnabled(false);
    m_row->hide();

    connect(m_link, &QAbstractButton::clicked, this, &NewFolderRow::open);
    connect(m_cancel, &QAbstractButton::clicked, this, &NewFolderRow::close);
    connect(m_create, &QAbstractButton::clicked, this, &NewFolderRow::createRequested);
    m_name->lineEdit()->installEventFilter(this);
    connect(m_name, &GlassTextInput::textChanged, this, [this](const QString& name) {
        m_create->setEnabled(!Text::trimmedOfSpaces(name).isEmpty());
        Q_EMIT nameChanged(name);
    });
}

// Return in the name field creates the folder and goes no further: the form around the row
// takes a Return that reaches it for "Save".
bool NewFolderRow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_name->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            Q_EMIT createRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString NewFolderRow::name() const
{
    return m_name->text();
}

void NewFolderRow::open()
{
    setOpen(true);
    m_name->lineEdit()->setFocus(Qt::OtherFocusReason);
}

void NewFolderRow::close()
{
    const bool hadFocus = m_row->isAncestorOf(QApplication::focusWidget());
    m_name->setText(QString());
    setOpen(false);
    if (hadFocus)
        m_link->setFocus(Qt::OtherFocusReason);
}

void NewFolderRow::setOpen(bool open)
{
    m_open = open;
    m_link->setVisible(!open);
    m_row->setVisible(open);
}
