#pragma once

#include <QColor>
#include <QStringView>

// Reads a hex colour text such as "#E2725B". Every leading and trailing "#" is removed.
// Three digits are #RGB shorthand and eight digits are RRGGBBAA; any other text is read as
// the leading hexadecimal number (white space and a 0x prefix skipped, 0 when there is no
// digit) whose low 24 bits are red, green and blue. Never fails: unreadable text is opaque
// black.
QColor colorFromHex(QStringView text);
