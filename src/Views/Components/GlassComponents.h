#pragma once

#include "Views/Components/GlassButton.h"
#include "Views/Components/GlassTextArea.h"
#include "Views/Components/GlassTextInput.h"
#include "Views/Components/ScreenHeader.h"

#include <functional>

// The form kit of the screens other than the main list. Each function returns a new
// widget (parented when `parent` is given) that the caller places in its layout. Titles,
// labels and placeholders are shown as given.

// The header row of a sub-screen; `onBack` runs when its back button is clicked.
ScreenHeader* screenHeader(const QString& title, std::function<void()> onBack, QWidget* parent = nullptr);

// A one-line text input under an optional label (none when `label` is empty).
GlassTextInput* glassField(const QString& label, const QString& placeholder, const QString& text = {},
    bool monospaced = false, QWidget* parent = nullptr);

// A multi-line text input, 150 pixels high.
GlassTextArea* glassTextArea(
    const QString& label, const QString& placeholder, const QString& text = {}, QWidget* parent = nullptr);

// The filled primary button; a disabled one looks like a secondary button with muted text
// and ignores clicks.
GlassButton* glassButton(const QString& title, bool disabled, std::function<void()> action, QWidget* parent = nullptr);

// The outlined secondary button.
GlassButton* glassSecondaryButton(const QString& title, std::function<void()> action, QWidget* parent = nullptr);

// The destructive button; `action` runs at once (callers ask for confirmation first).
GlassButton* glassDangerButton(const QString& title, std::function<void()> action, QWidget* parent = nullptr);
