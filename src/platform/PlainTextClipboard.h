#pragma once

#include <QString>
#include <optional>

// The general clipboard as plain text, for copying and pasting library items.
class PlainTextClipboard {
public:
    virtual ~PlainTextClipboard() = default;
    // The clipboard's plain text, or nothing when it holds none.
    virtual std::optional<QString> text() const = 0;
    // Replaces the whole clipboard with `text` as its only content.
    virtual void setText(const QString& text) = 0;
};
