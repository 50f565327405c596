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
// among its parent's children, as a sighted user sees only it, and the keyboard stays in it
// (see ModalLayers). Called once, with the parent set; the parent keeps the role it had.
void markModalLayer(QWidget* layer);

// `window` is laid out to be measured and never shown (a sample card): assistive technology
// is told nothing of it or of what it holds, before or after this call.
void keepUnseen(QWidget* window);

// `host` will show modal layers over its other children: its description is made now, able to
// leave out what they cover, before a screen reader has read it (a description replaced later
// leaves a screen reader holding a stale one).
void hostModalLayers(QWidget* host);

// A child of `parent` through which it tells assistive technology a short message, as a
// notification that appears: hidden until `announce` shows it.
QWidget* addNotice(QWidget* parent);
// Shows `notice` over `area` with `text`; shown already, it appears anew, which a screen
// reader speaks as a new notification.
void announce(QWidget* notice, const QString& text, const QRect& area);

// The application as assistive technology sees it lists its open pop-up menus beside its
// windows: Qt leaves pop-ups out, so a screen reader walking the application never finds an
// open menu or its highlighted item. Called once, before the application object exists.
void exposePopups();

} // namespace AccessibleRoles
