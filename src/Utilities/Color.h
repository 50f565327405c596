#pragma once

#include <QColor>
#include <QStringView>

// Reads a hex colour text such as "#E2725B". Every leading and trailing "#" is removed.
// Three digits are #RGB shorthand and eight digits are RRGGBBAA; any other text is read as
// the leading hexadecimal number (white space and a 0x prefix skipped, 0 when there is no
// digit) whose low 24 bits are red, green and blue. Never fails: unreadable text is opaque
// black.
QColor colorFromHex(QStringView text);

// `over` painted on the opaque `under`, as an opaque colour.
QColor composited(const QColor& over, const QColor& under);

// The contrast ratio of two opaque colours as the accessibility guidelines define it, from
// 1 (the same) to 21 (black on white). Text wants 4.5 and the parts of a control 3.
double contrastRatio(const QColor& first, const QColor& second);
