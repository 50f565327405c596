#include "Views/Components/GlassInputPanel.h"

#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/ViewStyle.h"

#include <QEvent>
#include <QPainter>

GlassInputPanel::GlassInputPanel(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, [this] { applyColors(); });
}

void GlassInputPanel::attachEditor(QWidget* editor)
{
    m_editor = editor;
    editor->setAttribute(Qt::WA_MacShowFocusRect, false);
    editor->installEventFilter(this);
    setFocusProxy(editor);
    AccessibleRoles::setRole(this, QAccessible::Client);
    applyColors();
}

bool GlassInputPanel::isFocused() const
{
    return m_editor && m_editor->hasFocus();
}

void GlassInputPanel::applyColors()
{
    if (!m_editor)
        return;
    QPalette palette = m_editor->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Theme::text());
    palette.setColor(QPalette::PlaceholderText, Theme::textMuted());
    m_editor->setPalette(palette);
    update();
}

bool GlassInputPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    return QWidget::eventFilter(watched, event);
}

void GlassInputPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintGlassFieldPanel(painter, rect(), isFocused());
}
