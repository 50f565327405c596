#include "Views/Components/GlassTextArea.h"

#include "Utilities/Theme.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

GlassTextArea::GlassTextArea(const QString& label, const QString& placeholder, const QString& text, QWidget* parent)
    : GlassInputPanel(parent)
    , m_label(new ThemedLabel(label, 11, QFont::Normal, &Theme::textSecondary, this))
    , m_editor(new QPlainTextEdit(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_label->setContentsMargins(12, 10, 12, 0);
    m_label->setMinimumHeight(m_label->fontMetrics().height() + 10);
    layout->addWidget(m_label);

    auto* editorBox = new QVBoxLayout;
    // The editor's own text inset (its document margin) adds to this, so that typed text
    // starts where the label does.
    editorBox->setContentsMargins(7, 0, 7, 10);
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setFont(uiFont(13));
    m_editor->document()->setDocumentMargin(5);
    m_editor->setPlaceholderText(placeholder);
    m_editor->setPlainText(text);
    m_editor->setAccessibleName(label);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->viewport()->setAutoFillBackground(false);
    editorBox->addWidget(m_editor);
    layout->addLayout(editorBox, 1);
    setFixedHeight(fixedHeight);
    attachEditor(m_editor);

    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] { Q_EMIT textChanged(m_editor->toPlainText()); });
}

QString GlassTextArea::text() const
{
    return m_editor->toPlainText();
}

void GlassTextArea::setText(const QString& text)
{
    m_editor->setPlainText(text);
}

namespace {

// The control Tab or Shift+Tab (`backwards`) would reach from `from` if it did not type.
QWidget* focusNeighbour(QWidget* from, bool backwards)
{
    QWidget* widget = from;
    while (true) {
        widget = backwards ? widget->previousInFocusChain() : widget->nextInFocusChain();
        if (!widget || widget == from)
            return nullptr;
        if (widget->window() == from->window() && !from->isAncestorOf(widget) && widget->isVisible()
            && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus))
            return widget;
    }
}

} // namespace

bool GlassTextArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            && key->modifiers().testFlag(Qt::ControlModifier)) {
            const bool backwards = key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier);
            if (QWidget* next = focusNeighbour(m_editor, backwards))
                next->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            return true;
        }
    }
    return GlassInputPanel::eventFilter(watched, event);
}

void GlassTextArea::applyColors()
{
    GlassInputPanel::applyColors();
    // A slim scroll bar in the text colours, so the glass panel stays one surface.
    const QColor handle = Theme::textMuted();
    m_editor->verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 8px; margin: 2px 0 2px 0; }"
                       "QScrollBar::handle:vertical { background: rgba(%1, %2, %3, %4); border-radius: 3px;"
                       " min-height: 24px; margin: 0 1px 0 1px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }")
            .arg(handle.red())
            .arg(handle.green())
            .arg(handle.blue())
            .arg(handle.alpha() / 2));
}
