#include "Views/Components/GlassComponents.h"

namespace {

GlassButton* makeButton(GlassButton::Kind kind, const QString& title, std::function<void()> action, QWidget* parent)
{
    auto* button = new GlassButton(kind, title, parent);
    QObject::connect(button, &GlassButton::clicked, button, [action = std::move(action)] {
        if (action)
            action();
    });
    return button;
}

} // namespace

ScreenHeader* screenHeader(const QString& title, std::function<void()> onBack, QWidget* parent)
{
    return new ScreenHeader(title, std::move(onBack), parent);
}

GlassTextInput* glassField(
    const QString& label, const QString& placeholder, const QString& text, bool monospaced, QWidget* parent)
{
    return new GlassTextInput(label, placeholder, text, monospaced, parent);
}

GlassTextArea* glassTextArea(const QString& label, const QString& placeholder, const QString& text, QWidget* parent)
{
    return new GlassTextArea(label, placeholder, text, parent);
}

GlassButton* glassButton(const QString& title, bool disabled, std::function<void()> action, QWidget* parent)
{
    GlassButton* button = makeButton(GlassButton::Kind::primary, title, std::move(action), parent);
    button->setEnabled(!disabled);
    return button;
}

GlassButton* glassSecondaryButton(const QString& title, std::function<void()> action, QWidget* parent)
{
    return makeButton(GlassButton::Kind::secondary, title, std::move(action), parent);
}

GlassButton* glassDangerButton(const QString& title, std::function<void()> action, QWidget* parent)
{
    return makeButton(GlassButton::Kind::danger, title, std::move(action), parent);
}
