#pragma once

#include "platform/ExternalBrowser.h"

#include <QList>

// A browser that only notes what it was asked to open; tests hand back callbacks with
// deliver(). Installs itself as the current browser for its lifetime.
class FakeBrowser final : public ExternalBrowser {
    Q_OBJECT
public:
    FakeBrowser();
    ~FakeBrowser() override;

    bool open(const QUrl& url) override;

    // Whether open() succeeds; true unless changed.
    void setOpens(bool opens) { m_opens = opens; }
    const QList<QUrl>& opened() const { return m_opened; }

private:
    bool m_opens = true;
    QList<QUrl> m_opened;
};
