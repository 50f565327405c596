#pragma once

#include "platform/ExternalBrowser.h"

// The desktop's default browser, through the session's URL handler (xdg-open or the portal).
class DesktopBrowser final : public ExternalBrowser {
    Q_OBJECT
public:
    using ExternalBrowser::ExternalBrowser;
    bool open(const QUrl& url) override;
};
