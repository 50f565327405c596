#pragma once

#include "Views/Components/ViewStyle.h"

#include <QColor>

class QAbstractButton;
class QLabel;
class QWidget;

// The pieces the tutorial's card and panels share.

// The glass of the cards and panels: the regular material, nearly opaque so that the text
// stays readable over a dimmed popover or any application.
QColor tutorialMaterial();

// The product's name set as a wordmark, tightly tracked.
QLabel* tutorialWordmark(QWidget* parent);

// The small "xmark" button that ends the tutorial, named "Close tutorial".
QAbstractButton* tutorialCloseButton(ThemeColor color, QWidget* parent);
