#pragma once

#include <QString>
#include <QUuid>
#include <optional>

namespace Uuid {

// A fresh random UUID as upper-case text with hyphens, e.g. "1B4E28BA-2FA1-11D2-883F-0016D3CCA427".
QString generate();

// Strict parse of the 36-character hyphenated form (either case, no braces, no spaces).
std::optional<QUuid> parse(const QString& text);

// The upper-case hyphenated text of `uuid`.
QString text(const QUuid& uuid);

} // namespace Uuid
