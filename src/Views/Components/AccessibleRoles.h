#pragma once

#include <QAccessible>

class QWidget;

// What assistive technology is told a widget is, where Qt's guess from the widget's class is
// wrong: a painted pill that behaves as a radio button, a card that is a list's row, the
// popover's frameless window. Qt keeps the first description it made of a widget, so the role
// is set before anything asks (in the constructor) or the old description is dropped here.
namespace AccessibleRoles {

// `widget` reads as `role`. A button keeps its press action and reports whether it is
// checked; any other widget keeps what Qt reports for it (name, description, focus).
void setRole(QWidget* widget, QAccessible::Role role);

// `layer` lies over everything its parent shows before it (a question, a sheet, the recovery
// screen): while it is visible, assistive technology finds only it and what lies above it
// among its parent's children, as a sighted user sees only it. Called once, with the parent
// set; the parent keeps the role it had.
void markModalLayer(QWidget* layer);

// `host` will show modal layers over its other children: its description is made now, able to
// leave out what they cover, before a screen reader has read it (a description replaced later
// leaves a screen reader holding a stale one).
void hostModalLayers(QWidget* host);

// The application as assistive technology sees it lists its open pop-up menus beside its
// windows: Qt leaves pop-ups out, so a screen reader walking the application never finds an
// open menu or its highlighted item. Called once, before the application object exists.
void exposePopups();

} // namespace AccessibleRoles
