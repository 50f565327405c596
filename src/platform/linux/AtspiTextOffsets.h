#pragma once

#include <QString>
#include <optional>

// AT-SPI text offsets are meant to count characters (code points), but toolkits differ: GTK
// counts code points while Qt counts UTF-16 units. The engine counts UTF-16 units. Every
// conversion here works on a piece of the field's text read from a place where both counts are
// known (the start of the field, or a place converted before), so it can learn which unit the
// application uses as soon as the text holds a character outside the BMP; before that the units
// agree and the choice does not matter.
namespace AtspiTextOffsets {

enum class Unit { codePoints, utf16 };

// The unit the application must be using, given the text it returned for [0, length) in its
// own units; `assumed` when the text cannot tell, nothing when it fits neither (the text
// changed between two requests).
std::optional<Unit> unitOf(const QString& prefix, qint64 length, Unit assumed);

// The UTF-16 offset of an application offset within a prefix that reaches at least that far;
// nothing beyond the prefix.
std::optional<qint64> toUtf16(const QString& prefix, qint64 offset, Unit unit);

// The application offset of a UTF-16 offset within a prefix that reaches at least that far;
// nothing beyond the prefix or inside a surrogate pair.
std::optional<qint64> fromUtf16(const QString& prefix, qint64 utf16Offset, Unit unit);

}
