#include "Views/Components/GlassTextInput.h"

#include "Utilities/Theme.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"

#include <QLineEdit>
#include <QVBoxLayout>

GlassTextInput::GlassTextInput(
    const QString& label, const QString& placeholder, const QString& text, bool monospaced, QWidget* parent)
    : GlassInputPanel(parent)
    , m_field(new QLineEdit(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(4);
    if (!label.isEmpty()) {
        m_label = new ThemedLabel(label, 11, QFont::Normal, &Theme::textSecondary, this);
        layout->addWidget(m_label);
    }
    m_field->setFrame(false);
    // A line edit keeps a small margin of its own before the text; take it back so that
    // the text starts where the label does.
    m_field->setTextMargins(-2, 0, 0, 0);
    m_field->setFont(uiFont(13, QFont::Normal, monospaced));
    m_field->setPlaceholderText(placeholder);
    m_field->setText(text);
    m_field->setAccessibleName(label.isEmpty() ? placeholder : label);
    layout->addWidget(m_field);
    attachEditor(m_field);

    connect(m_field, &QLineEdit::textChanged, this, &GlassTextInput::textChanged);
    connect(m_field, &QLineEdit::returnPressed, this, &GlassTextInput::submitted);
}

QString GlassTextInput::text() const
{
    return m_field->text();
}

void GlassTextInput::setText(const QString& text)
{
    m_field->setText(text);
}
