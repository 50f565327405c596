#pragma once

#include "platform/PlainTextClipboard.h"

// The desktop's CLIPBOARD selection through Qt; needs a QGuiApplication.
class QtPlainTextClipboard final : public PlainTextClipboard {
public:
    std::optional<QString> text() const override;
    void setText(const QString& text) override;
};
