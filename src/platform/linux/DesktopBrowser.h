#pragma once

#include "platform/ExternalBrowser.h"

#include <QStringList>

class QProcess;

// The desktop's default browser, through the session's URL handler (xdg-open). The launcher
// is kept as a child process: a desktop's handler hands the address over and ends at once,
// but without a desktop xdg-open runs the browser itself in its foreground, and a browser
// that crashes or is killed then shows as the launcher failing.
class DesktopBrowser final : public ExternalBrowser {
    Q_OBJECT
public:
    // `launcher` is the program and its first arguments; the address is added last.
    explicit DesktopBrowser(QStringList launcher = {QStringLiteral("xdg-open")}, QObject* parent = nullptr);
    ~DesktopBrowser() override;

    bool open(const QUrl& url) override;

private:
    QStringList m_launcher;
    QProcess* m_running = nullptr;
};
