#pragma once

#include <QString>
#include <functional>
#include <optional>

// A yes/no question the popover's confirmation overlay shows; confirming runs `action`.
struct ConfirmationRequest {
    QString title;
    std::optional<QString> message;
    QString confirmLabel;
    std::optional<QString> icon; // a symbol name shown above the title
    bool isDestructive = false;
    std::function<void()> action;
};
