#include "platform/linux/DesktopBrowser.h"

#include <QDesktopServices>
#include <QProcess>

DesktopBrowser::DesktopBrowser(QStringList launcher, QObject* parent)
    : ExternalBrowser(parent)
    , m_launcher(std::move(launcher))
{
}

DesktopBrowser::~DesktopBrowser()
{
    // Ending the launcher leaves a browser it started running: the browser is its child, not
    // ours, and belongs to the user now.
    if (m_running) {
        m_running->disconnect(this);
        m_running->kill();
        m_running->waitForFinished(1000);
    }
}

bool DesktopBrowser::open(const QUrl& url)
{
    if (m_running) {
        // Only the latest launch is reported on.
        m_running->disconnect(this);
        m_running = nullptr;
    }
    auto* launcher = new QProcess(this);
    launcher->setProgram(m_launcher.value(0));
    launcher->setArguments(m_launcher.mid(1) << url.toString(QUrl::FullyEncoded));
    launcher->setStandardInputFile(QProcess::nullDevice());
    launcher->setStandardOutputFile(QProcess::nullDevice());
    launcher->setStandardErrorFile(QProcess::nullDevice());
    launcher->start();
    if (!launcher->waitForStarted(2000)) {
        delete launcher;
        // No launcher at all: the portal or Qt's own way may still reach a browser.
        return QDesktopServices::openUrl(url);
    }
    m_running = launcher;
    connect(launcher, &QProcess::finished, this, [this, launcher](int exitCode, QProcess::ExitStatus status) {
        launcher->deleteLater();
        if (m_running != launcher)
            return;
        m_running = nullptr;
        if (status != QProcess::NormalExit || exitCode != 0)
            reportLaunchFailed();
    });
    return true;
}
