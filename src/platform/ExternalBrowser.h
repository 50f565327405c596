#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// The user's web browser, as far as sign-in needs it: open an address there, and hear back when
// the browser hands a URL of this program's own scheme ("velmora:") to the program. On Linux
// the browser starts a second velmora with that URL, which passes it on to the running one.
class ExternalBrowser : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens `url` in the browser; false when no browser could be asked to.
    virtual bool open(const QUrl& url) = 0;

    // Passes on a URL that reached the program from outside, as text exactly as it came.
    void deliver(const QString& url) { Q_EMIT urlReceived(url); }
    // Says that the browser last opened failed or ended abnormally, where the launcher can
    // tell (a browser started in the launcher's foreground that crashed or was killed).
    void reportLaunchFailed() { Q_EMIT launchFailed(); }

    static ExternalBrowser& current();
    // Installs `browser` (not owned); nullptr restores the default, which opens nothing.
    static void setCurrent(ExternalBrowser* browser);

Q_SIGNALS:
    void urlReceived(const QString& url);
    void launchFailed();
};
